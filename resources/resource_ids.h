// Resource ids of the program file, shared by the code and both resource builds.
#pragma once

constexpr unsigned IDD_INSTALLER_DIALOG = 102;

// HTML pages.
constexpr unsigned IDR_HTML_REMOVE_OFFER = 129;      // "卸载1"
constexpr unsigned IDR_HTML_REMOVING = 130;          // "卸载2"
constexpr unsigned IDR_HTML_REMOVED = 131;           // "卸载3"
constexpr unsigned IDR_HTML_INSTALL_START = 132;     // "安装1"
constexpr unsigned IDR_HTML_AGREEMENT = 133;         // "安装2"
constexpr unsigned IDR_HTML_INSTALLING = 134;        // "安装3"
constexpr unsigned IDR_HTML_INSTALLED = 136;         // "安装5"

constexpr unsigned IDR_CSS_PAGES = 152;
constexpr unsigned IDS_PACKAGE_URL = 154;  // string table: the package address
constexpr unsigned IDI_INSTALLER = 155;
