// Vexel's name, version and contact texts, each written here once. The
// program reads the constants (About window, failure report, application
// title); the resource script res/Vexel.rc reads the macros for the version
// resource, and the installer script reads them too.
#pragma once

#include "app/Version.h"  // VEXEL_VERSION, from the version in CMakeLists.txt

#define VEXEL_PRODUCT_NAME "Vexel"
#define VEXEL_FULL_NAME "Phone keypad remote"
#define VEXEL_COMPANY "Vexel team"
#define VEXEL_NOTICE "(c) 2026 " VEXEL_COMPANY
#define VEXEL_SUPPORT_MAIL "support@vexel.example"
#define VEXEL_WEB_HOST "vexel.example"
#define VEXEL_WEB_LINK "https://" VEXEL_WEB_HOST "/"

#ifndef RC_INVOKED
namespace vexel::product {

inline constexpr char kName[] = VEXEL_PRODUCT_NAME;   // application title, tray hint
inline constexpr char kFullName[] = VEXEL_FULL_NAME;  // About: shown in parentheses
inline constexpr char kVersion[] = VEXEL_VERSION;
inline constexpr char kNotice[] = VEXEL_NOTICE;  // About: the maker's notice line

// The About window's two links: the text shown and the target opened.
inline constexpr char kMailText[] = VEXEL_SUPPORT_MAIL;
inline constexpr char kMailLink[] = "mailto:" VEXEL_SUPPORT_MAIL;
inline constexpr char kWebText[] = VEXEL_WEB_HOST;
inline constexpr char kWebLink[] = VEXEL_WEB_LINK;

// Where the failure report ("Feedback init failed.") is mailed.
inline constexpr char kFailureReportAddress[] = VEXEL_SUPPORT_MAIL;

}  // namespace vexel::product
#endif
