// The media of the "Media Type" box and their one identity: the interface text number of the
// entry (the C844's three user types, which have no interface text, are kUserTypeMedia + 1..3).
// Every rule that depends on the chosen medium asks these functions with state.mediaId, so the
// language in force never changes what is printed.
#pragma once

#include "core/no_widgets.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/state.h"

// Identity base of the C844's user types "Usertype1" .. "Usertype3".
inline constexpr int kUserTypeMedia = 1000;

// Interface text numbers of media that rules name.
inline constexpr int kMediaPrinterSetting = 101; // first entry of the list, either family
inline constexpr int kMediaTransfer05 = 117;
inline constexpr int kMediaTransfer07 = 119;
inline constexpr int kMediaTransfer11 = 142;
inline constexpr int kMediaTransfer13 = 194;
inline constexpr int kMediaTransfer16 = 198; // the foil

// Rewrites texts 101..112 with the family's short media names and returns the identities of
// the media list in its order (the C844 adds its three user types).
std::vector<int> buildMediaIds(const TargetPrinter& target, TextTable& texts);

// The text the box shows for a medium identity (empty for an unknown one).
std::string mediaLabel(const TextTable& texts, int mediaId);

// Fills page.mediaIds with the target printer's media (buildMediaIds).
void fillMediaList(const TargetPrinter& target, TextTable& texts, PageSetup& page);

// Makes mediaId the chosen medium; false when it is not in the list.
bool selectMedium(PageSetup& page, int mediaId);

// The identity of a medium named by its label in the language in force or by its built-in
// English name; 0 when the list has no such entry.
int findMedium(const PageSetup& page, const TextTable& texts, std::string_view name);

// 1..17 for "Transfer media 01" .. "Transfer media 17", 0 for any other medium.
int transferMediaNumber(int mediaId);

// True for the printer's own media settings and weights (texts 101..112).
bool isPrinterSettingMedium(int mediaId);

// 1..3 for the C844's user types, 0 otherwise.
int userTypeNumber(int mediaId);
