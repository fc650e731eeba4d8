// Win32 backend of the data-file part of the platform contract: regular files opened in binary mode
// through the wide API, BMP reading bounded by the header and converted by GDI, and BMP writing.
#include "platform/platform.h"

#include "platform/bmp_layout.h"
#include "platform/win32_text.h"

#undef APIENTRY
#undef WINGDIAPI
#undef CALLBACK
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

std::wstring widen(const char* text)
{
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 1)
        return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length);
    wide.pop_back();
    return wide;
}

std::string narrow(const wchar_t* text)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return {};
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    utf8.pop_back();
    return utf8;
}

static int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    default:
        return EIO;
    }
}

FILE* openRegularFile(const char* path)
{
    const std::wstring wide = widen(path);
    if (wide.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    // Backup semantics let a folder open too, so that it is refused below like any other non-file.
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION information;
    // Pipes, consoles and devices are not disk files; a folder is a disk file with the directory bit.
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        errno = EINVAL;
        return nullptr;
    }
    // Binary: in text mode CR LF would become LF and a Ctrl-Z byte would end the file.
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    FILE* file = _fdopen(descriptor, "rb");
    if (!file)
        _close(descriptor);
    return file;
}

FILE* openDataFile(const char* path)
{
    // Windows file names ignore case already.
    return openRegularFile(path);
}

// GDI's reading of a header: the information header, up to 256 palette entries or three masks, and
// room to spare, so that a header claiming more is never read past.
constexpr size_t headerCopyBytes = sizeof(BITMAPV5HEADER) + 259 * sizeof(RGBQUAD);

bool loadBitmap(const char* path, Bitmap* out)
{
    BmpLayout layout;
    std::vector<uint8_t> bytes = readBmpFile(path, &layout);
    const uint32_t infoSize = layout.infoSize;
    const bool knownHeader = infoSize == 12 || infoSize == 40 || infoSize == 52 || infoSize == 56 ||
                             infoSize == 108 || infoSize == 124;
    if (bytes.empty() || !knownHeader || layout.pixelOffset >= bytes.size())
        return false;
    alignas(BITMAPV5HEADER) uint8_t copy[headerCopyBytes] = {};
    const size_t infoBytes = std::min(bytes.size(), size_t(layout.pixelOffset)) - 14;
    std::memcpy(copy, bytes.data() + 14, std::min(infoBytes, sizeof copy));
    int width, height;
    if (infoSize == 12) {
        BITMAPCOREHEADER core;
        std::memcpy(&core, copy, sizeof core);
        width = core.bcWidth;
        height = core.bcHeight;
    } else {
        BITMAPINFOHEADER info;
        std::memcpy(&info, copy, sizeof info);
        if (info.biCompression > BI_BITFIELDS || (info.biBitCount != 1 && info.biBitCount != 4 &&
                                                  info.biBitCount != 8 && info.biBitCount != 16 &&
                                                  info.biBitCount != 24 && info.biBitCount != 32))
            return false;
        info.biClrUsed = std::min<DWORD>(info.biClrUsed, 256);
        // Run-length data ends where the file does, whatever the header claims.
        if (info.biCompression == BI_RLE8 || info.biCompression == BI_RLE4)
            info.biSizeImage = static_cast<DWORD>(bytes.size() - layout.pixelOffset);
        std::memcpy(copy, &info, sizeof info);
        width = info.biWidth;
        height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
    }
    // Bottom-up 24-bit rows padded to 4 bytes: the layout the rest of the program expects.
    BITMAPINFO target{};
    target.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    target.bmiHeader.biWidth = width;
    target.bmiHeader.biHeight = height;
    target.bmiHeader.biPlanes = 1;
    target.bmiHeader.biBitCount = 24;
    target.bmiHeader.biCompression = BI_RGB;
    void* targetBits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP section = dc ? CreateDIBSection(dc, &target, DIB_RGB_COLORS, &targetBits, nullptr, 0) : nullptr;
    const bool converted =
        section && SetDIBits(dc, section, 0, static_cast<UINT>(height), bytes.data() + layout.pixelOffset,
                             reinterpret_cast<const BITMAPINFO*>(copy), DIB_RGB_COLORS) == height;
    if (converted) {
        GdiFlush();
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
        const uint8_t* first = static_cast<const uint8_t*>(targetBits);
        out->width = width;
        out->height = height;
        out->bits.assign(first, first + stride * static_cast<size_t>(height));
    }
    if (section)
        DeleteObject(section);
    if (dc)
        DeleteDC(dc);
    return converted;
}

bool saveBitmap(const char* path, const Bitmap& bitmap)
{
    if (bitmap.width <= 0 || bitmap.height <= 0)
        return false;
    const size_t stride = (static_cast<size_t>(bitmap.width) * 3 + 3) & ~size_t(3);
    const size_t imageBytes = stride * static_cast<size_t>(bitmap.height);
    if (bitmap.bits.size() < imageBytes || imageBytes > 0x7FFF0000)
        return false;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = bitmap.width;
    info.biHeight = bitmap.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(imageBytes);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = static_cast<DWORD>(header.bfOffBits + imageBytes);
    FILE* file = _wfopen(widen(path).c_str(), L"wb");
    if (!file)
        return false;
    bool written = std::fwrite(&header, sizeof header, 1, file) == 1 && std::fwrite(&info, sizeof info, 1, file) == 1 &&
                   std::fwrite(bitmap.bits.data(), 1, imageBytes, file) == imageBytes;
    written = std::fclose(file) == 0 && written;
    return written;
}
