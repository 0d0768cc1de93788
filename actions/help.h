// The help page and the program's identity on the desktop.
#pragma once

#include "core/no_widgets.h"

#include <string>

struct AppState;

// The application id: the name of the desktop entry (without ".desktop"), the icon and the
// software-centre record. The window passes it to QGuiApplication::setDesktopFileName so that
// the desktop matches the running window to its entry.
inline constexpr const char* kDesktopFileId = "org.lumivane.Basic";

// The program icon (128 x 128 PNG) in the program data folder, for the window and the About
// box; the desktop itself takes the installed theme icon named kDesktopFileId.
inline constexpr const char* kProgramIconFile = "org.lumivane.Basic.png";

// The help pages, by language, in the program data folder.
inline constexpr const char* kHelpPageEnglish = "help-en.html";
inline constexpr const char* kHelpPageGerman = "help-de.html";

// The help page for the language in force: the German page when the language file name starts
// with "German" (in any case) and that page is installed, otherwise the English page. The path
// is programFolder + page name; it is returned even when the English page is missing, so that
// whatever opens it reports the missing file.
std::string helpFilePath(const AppState& state);
