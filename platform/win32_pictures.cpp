// Win32 backend of the pictures part of the platform contract: the Pictures known folder, PNG encoding
// through WIC, and whole-file writing through the wide file API.
#include "platform/platform.h"

#include "platform/win32_text.h"

#undef APIENTRY
#undef WINGDIAPI
#undef CALLBACK
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <wincodec.h>

#include <cstdio>

std::string picturesFolder()
{
    PWSTR wide = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Pictures, 0, nullptr, &wide)))
        folder = narrow(wide);
    CoTaskMemFree(wide);
    return folder;
}

namespace {
// A COM interface, released when it goes out of scope.
template <class Interface>
struct Held {
    Interface* pointer = nullptr;
    ~Held()
    {
        if (pointer)
            pointer->Release();
    }
    Interface* operator->() const { return pointer; }
};
}  // namespace

// The PNG encoder's steps, each a COM call whose failure ends the encoding; S_OK with the file in *out.
static HRESULT encodeWithWic(int width, int height, const uint8_t* rgbTopDown, std::vector<uint8_t>* out)
{
    Held<IWICImagingFactory> factory;
    Held<IStream> stream;
    Held<IWICBitmapEncoder> encoder;
    Held<IWICBitmapFrameEncode> frame;
    Held<IPropertyBag2> options;
    HRESULT result = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      reinterpret_cast<void**>(&factory.pointer));
    if (SUCCEEDED(result))
        result = CreateStreamOnHGlobal(nullptr, TRUE, &stream.pointer);
    if (SUCCEEDED(result))
        result = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.pointer);
    if (SUCCEEDED(result))
        result = encoder->Initialize(stream.pointer, WICBitmapEncoderNoCache);
    if (SUCCEEDED(result))
        result = encoder->CreateNewFrame(&frame.pointer, &options.pointer);
    if (SUCCEEDED(result))
        result = frame->Initialize(options.pointer);
    if (SUCCEEDED(result))
        result = frame->SetSize(UINT(width), UINT(height));
    // The encoder takes blue, green, red; one that would convert the pixels is refused.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (SUCCEEDED(result))
        result = frame->SetPixelFormat(&format);
    if (SUCCEEDED(result) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        result = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    const size_t bytes = size_t(width) * size_t(height) * 3;
    std::vector<uint8_t> bgr(rgbTopDown, rgbTopDown + bytes);
    for (size_t i = 0; i < bytes; i += 3)
        std::swap(bgr[i], bgr[i + 2]);
    if (SUCCEEDED(result))
        result = frame->WritePixels(UINT(height), UINT(width) * 3, UINT(bytes), bgr.data());
    if (SUCCEEDED(result))
        result = frame->Commit();
    if (SUCCEEDED(result))
        result = encoder->Commit();
    STATSTG written{};
    HGLOBAL memory = nullptr;
    if (SUCCEEDED(result))
        result = stream->Stat(&written, STATFLAG_NONAME);
    if (SUCCEEDED(result))
        result = GetHGlobalFromStream(stream.pointer, &memory);
    const uint8_t* encoded = SUCCEEDED(result) ? static_cast<const uint8_t*>(GlobalLock(memory)) : nullptr;
    if (!encoded)
        return FAILED(result) ? result : E_OUTOFMEMORY;
    out->assign(encoded, encoded + written.cbSize.QuadPart);
    GlobalUnlock(memory);
    return S_OK;
}

bool encodePng(int width, int height, const uint8_t* rgbTopDown, std::vector<uint8_t>* out, std::string* problem)
{
    // COM for this thread while the encoder works; a thread already in another apartment mode serves as well.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT result = encodeWithWic(width, height, rgbTopDown, out);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (FAILED(result)) {
        char text[64];
        std::snprintf(text, sizeof text, "the PNG encoder failed (0x%08lx)", static_cast<unsigned long>(result));
        *problem = text;
    }
    return SUCCEEDED(result);
}

// The system's sentence for an error code, without its line break.
static std::string systemMessage(DWORD error)
{
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                   sizeof text / sizeof text[0], nullptr);
    std::string message = narrow(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, bool exclusive, std::string* problem)
{
    const std::wstring target = widen(path.c_str());
    const std::wstring written =
        exclusive ? target : target + L"." + std::to_wstring(GetCurrentProcessId()) + L".part";
    HANDLE file = CreateFileW(written.c_str(), GENERIC_WRITE, 0, nullptr, exclusive ? CREATE_NEW : CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (file != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        if (!WriteFile(file, bytes.data(), DWORD(bytes.size()), &done, nullptr) || !FlushFileBuffers(file))
            error = GetLastError();
        else if (done != bytes.size())
            error = ERROR_WRITE_FAULT;
        if (!CloseHandle(file) && error == 0)
            error = GetLastError();
        if (error == 0 && !exclusive &&
            !MoveFileExW(written.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            error = GetLastError();
        if (error != 0)
            DeleteFileW(written.c_str());
    }
    if (error != 0)
        *problem = path + ": " + systemMessage(error);
    return error == 0;
}
