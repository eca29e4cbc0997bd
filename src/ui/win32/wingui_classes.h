// The window classes and private messages of the thin Win32 layer, shared by
// its controls and its forms.
#pragma once

#include <windows.h>

namespace dt::win {

inline constexpr wchar_t kFormClass[] = L"DtForm";
inline constexpr wchar_t kPanelClass[] = L"DtPanel";
inline constexpr wchar_t kCustomClass[] = L"DtCustom";
// Runs the functions posted to a form (Form::Post).
inline constexpr UINT kPostMessage = WM_APP + 2;

}  // namespace dt::win
