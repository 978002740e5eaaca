// Payload extraction: the bytes after the executable image, read from the
// launcher's own file into one buffer a piece at a time, each piece held to
// the packing tool's checksum when it recorded one, then written. ReadFile
// returns an error where a share or a USB stick drops out mid-read, and the
// system reads ahead for a file opened for sequential reading, as it does for
// a file copy.
#include "package/payload.h"

#include <windows.h>
#include <shlwapi.h>

#include "launcher/ansi_path.h"
#include "launcher/instance.h"
#include "package/checksum.h"
#include "package/image_layout.h"
#include "sizes.h"

namespace {

// The loader maps the image headers as at least one whole page.
const uint32_t kHeaderPageSize = 4096;

// Small enough to stay in a core's L2 cache between the checksum and the
// write (x86 cores have had 256 KiB or more for over a decade), large enough
// that each piece is few calls into the system.
const DWORD kPieceSize = 256u << 10;

const uint8_t* Headers()
{
    return reinterpret_cast<const uint8_t*>(g_hInstance);
}

// Files of 4 GiB or more are outside the design: their low 32 bits would
// name the wrong bytes, so they are refused rather than cut.
int PlanFromFile(HANDLE ownFile, PayloadPlan* plan)
{
    LARGE_INTEGER fileSize;
    return GetFileSizeEx(ownFile, &fileSize) && fileSize.HighPart == 0
           && PlanPayload(Headers(), kHeaderPageSize, fileSize.LowPart, plan);
}

// 1 only when the work directory's volume says this user may write fewer
// than length bytes there (quotas count). A volume that does not say is tried.
int LacksRoom(const char* workDir, uint32_t length)
{
    char dir[kPathSize];
    ULARGE_INTEGER available;
    lstrcpynA(dir, workDir, kPathSize);
    // A share's folder is named with a trailing backslash.
    PathAddBackslashA(dir);
    return GetDiskFreeSpaceExA(dir, &available, nullptr, nullptr) && available.QuadPart < length;
}

// Fills size bytes, going on after a short read as a share may give one. 0
// when a read fails, or the file ends first: it is shorter than planned.
int ReadPiece(HANDLE file, uint8_t* piece, DWORD size)
{
    for (DWORD filled = 0; filled < size;) {
        DWORD read = 0;
        if (!ReadFile(file, piece + filled, size - filled, &read, nullptr) || read == 0 || read > size - filled)
            return 0;
        filled += read;
    }
    return 1;
}

}  // namespace

int ExtractPayload(const char* workDir, const char* packageFilePath, ExtractionProgress* progress)
{
    int result = kExtractFailed;
    HANDLE ownFile = INVALID_HANDLE_VALUE;
    HANDLE packageFile = INVALID_HANDLE_VALUE;
    uint8_t* piece = nullptr;
    wchar_t ownWide[kPathSize];
    PayloadPlan plan;
    LARGE_INTEGER start;
    Crc32c crc;
    uint32_t checksum = 0;
    BeginProgress(progress);

    // By its UTF-16 path: the code page need not spell it, nor the volume keep a short name.
    if (!GetOwnPath(ownWide))
        goto cleanup;
    ownFile = CreateFileW(ownWide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    // A launcher cut inside its image, or before its recorded package ends,
    // and a package that cannot fit the volume, leave no package file behind.
    if (ownFile == INVALID_HANDLE_VALUE || !PlanFromFile(ownFile, &plan))
        goto cleanup;
    start.QuadPart = plan.offset;
    if (!SetFilePointerEx(ownFile, start, nullptr, FILE_BEGIN) || LacksRoom(workDir, plan.length))
        goto cleanup;
    piece = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, kPieceSize));
    if (piece == nullptr)
        goto cleanup;
    packageFile = CreateFileA(packageFilePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (packageFile == INVALID_HANDLE_VALUE)
        goto cleanup;
    if (plan.checked)
        Crc32cInit(&crc);
    for (uint32_t done = 0; done < plan.length;) {
        DWORD written = 0;
        // The first piece ends where the file's next piece begins, so that every
        // later read starts on a page boundary: reads from the payload offset on
        // made the copy of 3.5 GiB four times slower under Wine.
        DWORD want = kPieceSize - (plan.offset + done) % kPieceSize;
        DWORD size = plan.length - done < want ? plan.length - done : want;
        if (!ReadPiece(ownFile, piece, size))
            goto cleanup;
        // Checked first, the piece then stays in cache for the write.
        if (plan.checked)
            checksum = Crc32cUpdate(&crc, checksum, piece, size);
        if (!WriteFile(packageFile, piece, size, &written, nullptr) || written != size)
            goto cleanup;
        done += size;
        // After the last piece nothing shows any more, and a cancel changes nothing.
        if (done < plan.length && FeedProgress(progress, done, plan.length)) {
            result = kExtractCancelled;
            goto cleanup;
        }
    }
    SettleProgress(progress, plan.length);
    // A damaged package never reaches the updater.
    result = !plan.checked || checksum == plan.checksum ? kExtractDone : kExtractFailed;

cleanup:
    if (piece != nullptr)
        HeapFree(GetProcessHeap(), 0, piece);
    if (ownFile != INVALID_HANDLE_VALUE)
        CloseHandle(ownFile);
    if (packageFile != INVALID_HANDLE_VALUE)
        CloseHandle(packageFile);
    return result;
}
