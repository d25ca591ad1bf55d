// The few framework types and constants the dialogs are written against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using CString = std::string;                    // bytes, UTF-8 on this platform
using CStringArray = std::vector<std::string>;
using CByteArray = std::vector<unsigned char>;
using BOOL = int;
using UINT = unsigned int;
using LPARAM = long;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_ICONERROR = 0x0010;

constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
