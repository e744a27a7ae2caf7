// The settings store in the registry: one key under HKEY_CURRENT_USER, one DWORD per value.
#include "app/SettingsStore.h"

#include "core/Log.h"
#include "core/Status.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace nuv {

namespace {

// The system's text for an error code, in the user's language.
std::wstring SystemErrorText(LONG code) {
    wchar_t* text = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, DWORD(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = length && text ? std::wstring(text, length) : L"Error " + std::to_wstring(code);
    if (text) LocalFree(text);
    return result;
}

} // namespace

int SettingsStore::MakePath(const String& registryPath, std::string* path) {
    if (!path) return kStatusFailed;
    // The shipped path doubles its separators: empty components go, as do "." and "..".
    std::string key;
    const char* text = registryPath.GetText();
    const int length = registryPath.GetLength();
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i < length && text[i] != '\\' && text[i] != '/') continue;
        const std::string component(text + start, text + i);
        start = i + 1;
        if (component.empty() || component == "." || component == "..") continue;
        if (!key.empty()) key += '\\';
        key += component;
    }
    if (key.empty()) return kStatusFailed;
    *path = key;
    return kStatusOk;
}

int SettingsStore::Read(Settings* settings) {
    if (!settings) return kStatusFailed;
    HKEY key = nullptr;
    DWORD disposition = 0;
    const LONG opened = RegCreateKeyExW(HKEY_CURRENT_USER, Utf8ToWide(path_).c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key, &disposition);
    if (opened != ERROR_SUCCESS) {
        LogError("Неудачна попытка открытия пути реестра [%s].", path_.c_str());
        MessageBoxW(nullptr, SystemErrorText(opened).c_str(), L"Error", MB_OK | MB_ICONINFORMATION);
        return kStatusFailed;
    }
    if (disposition == REG_CREATED_NEW_KEY) {
        RegCloseKey(key);
        LogInfo("Первый запуск скринсейвера. Запись параметров по-умолчанию в реестр...");
        if (Write(*settings) != 0) {
            LogError("Невозможно записать в реестр значения по-умолчанию.");
            return kStatusFailed;
        }
        LogInfo("Значения параметров по-умолчанию записаны в реестр.");
        return kStatusOk;
    }
    for (int i = 0; i < Settings::kValueCount; ++i) {
        // Whatever the value's type, up to four bytes are the number (little-endian, the rest
        // zero); a missing or longer value leaves the setting as it is.
        BYTE data[4] = {};
        DWORD size = sizeof data;
        const std::wstring name = Utf8ToWide(Settings::GetValueName(i));
        if (RegQueryValueExW(key, name.c_str(), nullptr, nullptr, data, &size) != ERROR_SUCCESS) continue;
        const uint32_t value = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                               uint32_t(data[3]) << 24;
        settings->SetValue(i, int32_t(value));
    }
    if (RegCloseKey(key) != ERROR_SUCCESS) {
        LogError("Неудачна попытка закрытия пути реестра [%s].", path_.c_str());
        return kStatusFailed;
    }
    return kStatusOk;
}

int SettingsStore::Write(const Settings& settings) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, Utf8ToWide(path_).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        LogError("Неудачна попытка открытия пути реестра [%s].", path_.c_str());
        return kStatusFailed;
    }
    int status = 0;
    for (int i = 0; i < Settings::kValueCount; ++i) {
        const DWORD value = DWORD(settings.GetValue(i));
        const std::wstring name = Utf8ToWide(Settings::GetValueName(i));
        if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) !=
            ERROR_SUCCESS)
            status = 1;
    }
    RegFlushKey(key);
    if (RegCloseKey(key) != ERROR_SUCCESS) {
        LogError("Неудачна попытка закрытия пути реестра [%s].", path_.c_str());
        return kStatusFailed;
    }
    // A value that could not be set must not pass for saved settings.
    if (status != 0) LogError("Неудачна попытка записи в реестр [%s].", path_.c_str());
    return status;
}

} // namespace nuv
