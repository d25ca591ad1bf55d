// The payment targets: one row per hosted payment control, read by the wrappers, the window, the
// runner, the simulated components and the build (which takes each row's name and class identifier).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "res/resource.h"

// GetSelectedTarget's answer as a type: the values are the ones it returns.
enum class ETarget { None = -1, Client = 0, Device = 1 };

// The DISPID of each method on one control; 0 where the control has no such method.
struct STargetDispids {
    int nSubmitRequest;
    int nStoreServerList;
    int nPingServerList;
    int nGetIPFromServerName;
    int nPingSingleIP;
    int nGetDeviceList;
};

struct STargetInfo {
    ETarget target;
    const char* pszName;  // as tranvex-run's --target and the build name it
    const char* pszClsid; // its default component library is "<class identifier>.so" on the search path
    int nRadioButton;     // the main window's radio button that selects it
    int nControlId;       // the main window's hosted control
    STargetDispids dispids;
};

// One row a line: the build reads the name and the class identifier from here.
// clang-format off
inline constexpr std::array<STargetInfo, 2> kTargets{{
    {ETarget::Client, "client", "{6B1E0F3A-2C4D-4E8F-9A10-3B5C7D9E1F21}", IDC_TARGET_CLIENT, IDC_CLIENT_CONTROL, {1, 2, 3, 5, 6, 0}},
    {ETarget::Device, "device", "{8C2F1A4B-3D5E-4F60-8B21-4C6D8EAF2031}", IDC_TARGET_DEVICE, IDC_DEVICE_CONTROL, {8, 7, 6, 4, 3, 9}},
}};
// clang-format on

// The row of a target; None has none (null).
constexpr const STargetInfo* FindTarget(ETarget target) {
    for (const STargetInfo& row : kTargets)
        if (row.target == target)
            return &row;
    return nullptr;
}

// The row of a real target, for constant expressions.
constexpr const STargetInfo& TargetInfo(ETarget target) {
    return *FindTarget(target);
}

// The row named name ("client", "device"); null for none.
constexpr const STargetInfo* FindTargetNamed(std::string_view name) {
    for (const STargetInfo& row : kTargets)
        if (name == row.pszName)
            return &row;
    return nullptr;
}

// GetSelectedTarget's int as a target: anything but a row's value is None.
constexpr ETarget TargetFromValue(int nValue) {
    for (const STargetInfo& row : kTargets)
        if (static_cast<int>(row.target) == nValue)
            return row.target;
    return ETarget::None;
}

// The method names of STargetDispids, field by field, for cassettes and messages.
struct SMethodName {
    int STargetDispids::*pDispid;
    const char* pszName;
};
inline constexpr std::array<SMethodName, 6> kMethodNames{{
    {&STargetDispids::nSubmitRequest, "SubmitRequest"},
    {&STargetDispids::nStoreServerList, "StoreServerList"},
    {&STargetDispids::nPingServerList, "PingServerList"},
    {&STargetDispids::nGetIPFromServerName, "GetIPFromServerName"},
    {&STargetDispids::nPingSingleIP, "PingSingleIP"},
    {&STargetDispids::nGetDeviceList, "GetDeviceList"},
}};

// The name of the method at dispid on target's control; null when it has none there.
constexpr const char* MethodName(const STargetInfo& target, int nDispid) {
    for (const SMethodName& method : kMethodNames)
        if (nDispid != 0 && target.dispids.*method.pDispid == nDispid)
            return method.pszName;
    return nullptr;
}

// The names joined, for usage texts and messages ("client or device").
inline std::string TargetNames(const char* pszSeparator) {
    std::string names;
    for (const STargetInfo& row : kTargets)
        names += (names.empty() ? "" : pszSeparator) + std::string(row.pszName);
    return names;
}
