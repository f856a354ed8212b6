#pragma once

// Result codes of the shell namespace: success and failure as the shell reports them, and the
// order CompareIDs answers with.

#include <cstdint>
#include <string>

using HResult = std::int32_t;

constexpr HResult kSOk = 0;
constexpr HResult kSFalse = 1;
constexpr HResult kENotImpl = static_cast<HResult>(0x80004001u);
constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
constexpr HResult kEFileNotFound = static_cast<HResult>(0x80070002u);
constexpr HResult kEPathNotFound = static_cast<HResult>(0x80070003u);
constexpr HResult kEAccessDenied = static_cast<HResult>(0x80070005u);
constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult kENoMoreItems = static_cast<HResult>(0x80070103u);
constexpr HResult kEAlreadyExists = static_cast<HResult>(0x800700B7u);

inline bool Succeeded(HResult hr)
{
    return hr >= 0;
}
inline bool Failed(HResult hr)
{
    return hr < 0;
}
HResult HResultFromErrno(int error);
// The system's text for a result, as an error message shows it.
std::string ShellErrorMessage(HResult hr);

// CompareIDs answers in the low 16 bits of a success code.
inline HResult MakeCompareResult(int order)
{
    return static_cast<HResult>(static_cast<std::uint16_t>(order < 0 ? -1 : (order > 0 ? 1 : 0)));
}
inline int CompareResultCode(HResult hr)
{
    return static_cast<std::int16_t>(hr & 0xFFFF);
}
