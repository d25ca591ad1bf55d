// The class identifiers of the two payment components.
#pragma once

constexpr const char* kClientClsid = "{6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F21}";
constexpr const char* kDeviceClsid = "{8C2F1A4B-3D5E-4F60-8B21-4C6D8EAF2031}";
