// The identifiers of the main window's controls and command entries.
#pragma once

// Control and command identifiers. Every control and menu entry carries its identifier as its
// object name, so tests and helpers find it by number.
inline constexpr int kIdExitButton = 1001;
inline constexpr int kIdPrinterBox = 1004;
inline constexpr int kIdPrintButton = 1009;
inline constexpr int kIdProgressBar = 1010;
inline constexpr int kIdStatusLine = 1011;
inline constexpr int kIdMirror = 1012;
inline constexpr int kIdRotate = 1016;
inline constexpr int kIdPreview = 1017;
inline constexpr int kIdCopies = 1022;
inline constexpr int kIdTrayBox = 1023;
inline constexpr int kIdMenuOpen = 1026;
inline constexpr int kIdMenuPrint = 1027;
inline constexpr int kIdMenuSaveSettings = 1028;
inline constexpr int kIdMenuExit = 1029;
inline constexpr int kIdMenuLoadSettings = 1030;
inline constexpr int kIdMenuAbout = 1032;
inline constexpr int kIdContrastSlider = 1038;
inline constexpr int kIdContrastValue = 1039;
inline constexpr int kIdMenuRecent1 = 1045; // .. 1049
inline constexpr int kIdMenuLoadDefaults = 1050;
inline constexpr int kIdWidth = 1058;
inline constexpr int kIdHeight = 1059;
inline constexpr int kIdResolution = 1060;
inline constexpr int kIdZoom = 1070;
inline constexpr int kIdResetContrast = 1074;
inline constexpr int kIdResetBrightness = 1075;
inline constexpr int kIdMenuColourDialog = 1078;
inline constexpr int kIdMediaBox = 1079;
inline constexpr int kIdSliderTimer = 1085;
inline constexpr int kIdMenuLanguage = 1088;
inline constexpr int kIdBrightnessSlider = 1105;
inline constexpr int kIdBrightnessValue = 1106;
inline constexpr int kIdMenuProfileOut = 1114;
inline constexpr int kIdMenuProfileIn = 1115;
inline constexpr int kIdXCopies = 1116;
inline constexpr int kIdYCopies = 1117;
inline constexpr int kIdTotalCopies = 1118;
inline constexpr int kIdAutoTile = 1119;
inline constexpr int kIdFitToPage = 1120;
inline constexpr int kIdUtilityLabel = 1121;
inline constexpr int kIdMenuUnits = 1124;
inline constexpr int kIdSwatch1 = 1131; // .. 1146
inline constexpr int kIdMenuPrintMargins = 1168;
inline constexpr int kIdAlignCentre = 1169; // .. 1172: centre, top-left, top-centre, top-right
inline constexpr int kIdMenuCustomPaper = 1177;
inline constexpr int kIdPaperBox = 1178;
inline constexpr int kIdMenuBlankPage = 1198;
inline constexpr int kIdLeftHand = 1199;
inline constexpr int kIdRightHand = 1200;
inline constexpr int kIdFlip = 1202;
inline constexpr int kIdMenuNetworkUtility = 1204;
inline constexpr int kIdCropImage = 1245;
inline constexpr int kIdMenuPatternPrint = 1286;
inline constexpr int kIdGuardArea = 1289;
inline constexpr int kIdPatternPreview = 1290;
inline constexpr int kIdMenuHelpFile = 1549;
inline constexpr int kIdMenuHelpLink1 = 1550; // .. 1555
inline constexpr int kIdPatternPrint = 2148;
inline constexpr int kIdMenuPatternSetup = 2149;
inline constexpr int kIdFixedSpacing = 2157;
// The Cancel button beside the progress bar (no identifier of its own in the command table).
inline constexpr int kIdCancelButton = 3001;
// Tools entries of our own: the printer model window and the proof.
inline constexpr int kIdMenuPrinterModel = 3002;
inline constexpr int kIdMenuProof = 3003;
