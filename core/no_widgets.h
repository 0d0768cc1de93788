// Core code is built without Qt Widgets; this turns an accidental dependency into a build error.
#pragma once
#if defined(PRINTCONV_CORE_NO_WIDGETS) && defined(QT_WIDGETS_LIB)
#error "core code must not be built against Qt Widgets"
#endif
