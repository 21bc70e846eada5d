#include "app/AboutDialog.h"

#include "base/DialogPlacement.h"
#include "resources/resource.h"

#include <string>
#include <vector>

namespace {

// The product version of the program's version resource ("1.0"), or "" when
// it has none. The resource is read from the module itself rather than
// through GetFileVersionInfo, which needs a PE file on disk (a Winelib
// program is an ELF one).
std::string ProductVersion()
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const BYTE *bytes = loaded ? static_cast<const BYTE *>(LockResource(loaded)) : nullptr;
    if (!bytes) return std::string();
    // A copy, for VerQueryValue may write into the block it is given.
    std::vector<BYTE> block(bytes, bytes + SizeofResource(module, found));
    WCHAR key[64];
    MultiByteToWideChar(CP_ACP, 0, "\\StringFileInfo\\040904B0\\ProductVersion", -1, key, 64);
    WCHAR *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), key, reinterpret_cast<void **>(&value), &length) || !value) return std::string();
    char text[64] = "";
    WideCharToMultiByte(CP_UTF8, 0, value, -1, text, sizeof text - 1, nullptr, nullptr);
    return text;
}

void ShowVersion(HWND dialog)
{
    std::string version = ProductVersion();
    if (!version.empty()) SetDlgItemTextA(dialog, IDC_ABOUTVERSION, ("Vintrel v" + version).c_str());
}

} // namespace

void ShowAboutDialog(HWND frame)
{
    DialogBoxParamA(GetModuleHandleA(nullptr), "AboutDialog", frame, AboutDialogProc, 0);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        ShowVersion(dialog);
        CenterOverFrame(dialog, GetWindow(dialog, GW_OWNER));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
