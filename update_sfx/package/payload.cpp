// Payload extraction: the bytes after the executable image, read from the
// launcher's own file a piece at a time, each piece held to the packing
// tool's checksum when it recorded one, then written. A second thread writes
// each piece while this one reads and checks the next into a second buffer,
// so that the check costs nothing where a core is free; where no thread can
// be made, this one writes each piece itself. ReadFile
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

// Small enough to stay in a core's L2 cache between the read and the
// checksum (x86 cores have had 256 KiB or more for over a decade), large
// enough that each piece is few calls into the system.
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

// Piece n is in slot n % 2: the copy reads piece n once piece n - 2 is
// written, and hands it on by counting it in posted; the writer writes it and
// counts it in written. A null piece ends the writer.
struct Writer {
    HANDLE file;
    const uint8_t* pieces[2];
    DWORD sizes[2];
    LONG posted;
    LONG written;
    int failed;
    LONG parked;   // 1 while a thread waits on wake
    HANDLE wake;
    HANDLE thread;
};

// Yields, each a call into the system, before a waiter parks.
const int kYields = 2048;
// A wake lost would cost this much, not a hang.
const DWORD kParkMs = 100;

// The threads wait for each other by yielding first: under Wine every event
// call is a round trip to its server, slower than a piece. A wait longer than
// the yields (slow media) parks on wake. Only one thread can be waiting at a
// time (the other has a piece to read or write), so one event serves both.
void Await(Writer* writer, LONG* count, LONG target)
{
    for (int yields = 0; __atomic_load_n(count, __ATOMIC_SEQ_CST) < target; ++yields) {
        if (yields < kYields) {
            Sleep(0);
            continue;
        }
        // Parked is set before count is read again, and count raised before
        // parked is read: one side always sees the other.
        __atomic_store_n(&writer->parked, 1, __ATOMIC_SEQ_CST);
        if (__atomic_load_n(count, __ATOMIC_SEQ_CST) < target)
            WaitForSingleObject(writer->wake, kParkMs);
    }
}

void Raise(Writer* writer, LONG* count)
{
    __atomic_fetch_add(count, 1, __ATOMIC_SEQ_CST);
    if (__atomic_exchange_n(&writer->parked, 0, __ATOMIC_SEQ_CST))
        SetEvent(writer->wake);
}

// After one write fails no other is tried, and the copy fails.
void WritePiece(Writer* writer, LONG index)
{
    DWORD written = 0;
    DWORD size = writer->sizes[index & 1];
    if (!__atomic_load_n(&writer->failed, __ATOMIC_RELAXED)
        && (!WriteFile(writer->file, writer->pieces[index & 1], size, &written, nullptr) || written != size))
        __atomic_store_n(&writer->failed, 1, __ATOMIC_RELAXED);
    Raise(writer, &writer->written);
}

DWORD WINAPI WriterThread(void* parameter)
{
    Writer* writer = static_cast<Writer*>(parameter);
    for (LONG index = 0;; ++index) {
        Await(writer, &writer->posted, index + 1);
        if (writer->pieces[index & 1] == nullptr)
            return 0;
        WritePiece(writer, index);
    }
}

// Written on the thread, or where none could be made, here; either way it
// is written once written counts it.
void HandOn(Writer* writer, const uint8_t* piece, DWORD size)
{
    LONG index = writer->posted;
    writer->pieces[index & 1] = piece;
    writer->sizes[index & 1] = size;
    if (writer->thread == nullptr)
        WritePiece(writer, index);
    Raise(writer, &writer->posted);
}

// 1 once all but the last `pending` pieces handed on are written, 0 if a
// write failed.
int AwaitWritten(Writer* writer, LONG pending)
{
    Await(writer, &writer->written, writer->posted - pending);
    return !__atomic_load_n(&writer->failed, __ATOMIC_RELAXED);
}

// Reads, checks and hands on every piece; the result of the extraction.
int CopyPieces(Writer* writer, HANDLE ownFile, const PayloadPlan* plan, uint8_t* pieces,
               ExtractionProgress* progress)
{
    // Beside the buffers, not in this frame, where it would lengthen every access to its locals.
    Crc32c* crc = reinterpret_cast<Crc32c*>(pieces + 2 * kPieceSize);
    uint32_t checksum = 0;
    if (plan->checked)
        Crc32cInit(crc);
    for (uint32_t done = 0; done < plan->length;) {
        uint8_t* piece = pieces + (writer->posted & 1) * kPieceSize;
        // The first piece ends where the file's next piece begins, so that every
        // later read starts on a page boundary: reads from the payload offset on
        // made the copy of 3.5 GiB four times slower under Wine.
        DWORD want = kPieceSize - (plan->offset + done) % kPieceSize;
        DWORD size = plan->length - done < want ? plan->length - done : want;
        // The buffer is free once the piece handed on before the last is written.
        if (!AwaitWritten(writer, 1) || !ReadPiece(ownFile, piece, size))
            return kExtractFailed;
        // Checked while still in this core's cache, from the read.
        if (plan->checked)
            checksum = Crc32cUpdate(crc, checksum, piece, size);
        HandOn(writer, piece, size);
        done += size;
        // After the last piece nothing shows any more, and a cancel changes nothing.
        if (done < plan->length && FeedProgress(progress, done, plan->length))
            return kExtractCancelled;
    }
    if (!AwaitWritten(writer, 0))
        return kExtractFailed;
    SettleProgress(progress, plan->length);
    // A damaged package never reaches the updater.
    return !plan->checked || checksum == plan->checksum ? kExtractDone : kExtractFailed;
}

// The writer thread runs only while the pieces are copied: it has written
// all it was handed, and ended, before the buffers are freed. Where the event
// or the thread cannot be made, there is none.
int CopyPayload(HANDLE ownFile, HANDLE packageFile, const PayloadPlan* plan, uint8_t* pieces,
                ExtractionProgress* progress)
{
    Writer writer;
    ZeroMemory(&writer, sizeof writer);
    writer.file = packageFile;
    writer.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (writer.wake != nullptr)
        writer.thread = CreateThread(nullptr, 0, WriterThread, &writer, 0, nullptr);
    int result = CopyPieces(&writer, ownFile, plan, pieces, progress);
    if (writer.thread != nullptr) {
        AwaitWritten(&writer, 0);
        HandOn(&writer, nullptr, 0);
        WaitForSingleObject(writer.thread, INFINITE);
        CloseHandle(writer.thread);
    }
    if (writer.wake != nullptr)
        CloseHandle(writer.wake);
    return result;
}

// By its UTF-16 path: the code page need not spell it, nor the volume keep a
// short name. Not inlined: the path's buffer would lengthen every access to
// the copy's locals, and the stub with them.
__attribute__((noinline)) HANDLE OpenOwnFile()
{
    wchar_t ownWide[kPathSize];
    if (!GetOwnPath(ownWide))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(ownWide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

int ExtractPayload(const char* workDir, const char* packageFilePath, ExtractionProgress* progress)
{
    int result = kExtractFailed;
    HANDLE packageFile = INVALID_HANDLE_VALUE;
    uint8_t* pieces = nullptr;
    PayloadPlan plan;
    LARGE_INTEGER start;
    BeginProgress(progress);

    HANDLE ownFile = OpenOwnFile();
    // A launcher cut inside its image, or before its recorded package ends,
    // and a package that cannot fit the volume, leave no package file behind.
    if (ownFile == INVALID_HANDLE_VALUE || !PlanFromFile(ownFile, &plan))
        goto cleanup;
    start.QuadPart = plan.offset;
    if (!SetFilePointerEx(ownFile, start, nullptr, FILE_BEGIN) || LacksRoom(workDir, plan.length))
        goto cleanup;
    // Two pieces, one read and checked while the other is written, then the checksum's tables.
    pieces = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, 2 * kPieceSize + sizeof(Crc32c)));
    if (pieces == nullptr)
        goto cleanup;
    packageFile = CreateFileA(packageFilePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (packageFile != INVALID_HANDLE_VALUE)
        result = CopyPayload(ownFile, packageFile, &plan, pieces, progress);

cleanup:
    if (pieces != nullptr)
        HeapFree(GetProcessHeap(), 0, pieces);
    if (ownFile != INVALID_HANDLE_VALUE)
        CloseHandle(ownFile);
    if (packageFile != INVALID_HANDLE_VALUE)
        CloseHandle(packageFile);
    return result;
}
