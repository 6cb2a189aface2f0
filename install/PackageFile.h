// The file a download writes the package into, and the thread that writes
// it while the next bytes are read.
#pragma once
#include <windows.h>
#include <memory>
#include "framework/BoundedText.h"
#include "framework/afxfile.h"

// The downloaded package as the download hands it over: the handle it was
// written through, open since the download began to write it (or continued
// an earlier run's bytes), with read, write and delete access while others
// may only read; and the file's name.
struct CDownloadedFile {
    CHandle file;
    wchar_t szPath[PATH_CHARS] = {};
};

// Per read on a fast link; small reads cost more in call overhead than they
// save.
enum : DWORD { PACKAGE_CHUNK_BYTES = 256 * 1024 };

// The download's target file, opened with the Win32 calls so that every
// write reports how much really reached the file. It stays open from the
// first byte to the hand-over: others may read it meanwhile, never write,
// rename or delete it. A link in the file's place is opened itself, never
// followed.
class CPackageFile {
public:
    // Created, or emptied when it is there.
    BOOL Create(const wchar_t* path);
    // An existing file, as it is.
    BOOL OpenExisting(const wchar_t* path);
    BOOL IsOpenOn(const wchar_t* path) const;
    // Its size; -1 when it cannot be had.
    LONGLONG Size() const;
    // Writes go on at the end, which must be at offset.
    BOOL SeekEnd(LONGLONG offset);
    BOOL Empty();
    // A failed or short write cuts the file after the bytes that were
    // written, so that its size stays a sound resume point.
    BOOL Write(const void* data, DWORD cb);
    void Close();
    // Gives the open file the name path, replacing what is there: through
    // the handle, or on Windows XP by name, closed in between.
    BOOL MoveTo(const wchar_t* path);
    // The open file and its name go to pResult.
    void HandOver(CDownloadedFile* pResult);

private:
    BOOL Open(const wchar_t* path, DWORD disposition);

    CHandle m_file;
    wchar_t m_szPath[PATH_CHARS] = {};
};

// Writes the download on a thread of its own while the next reads run: a
// read of 256 KiB and its write cost about the same under Wine, so the two
// overlapping nearly halve the time. One write at a time is in flight, from
// one of two buffers, while the other is read into. On a fast link several
// reads fill a buffer before it is written, as each hand-over costs two
// round trips to the Wine server; on a slow one every read is written at
// once, so that the partial file keeps up with what has arrived.
class CPackageWriter {
public:
    explicit CPackageWriter(CPackageFile& file) : m_file(file) {}
    ~CPackageWriter() { Finish(); }
    CPackageWriter(const CPackageWriter&) = delete;
    CPackageWriter& operator=(const CPackageWriter&) = delete;

    BOOL Start();
    // Where the next read of up to PACKAGE_CHUNK_BYTES goes.
    BYTE* Buffer() { return m_buffers[m_next].get() + m_cbFilled; }
    // Takes cb bytes read into Buffer(); the buffer goes to the writer unless
    // bBatch and another read fits. FALSE when a write has failed.
    BOOL Submit(DWORD cb, BOOL bBatch);
    // Writes what is left, waits for the last write and ends the thread;
    // FALSE when any failed.
    BOOL Finish();

private:
    static const DWORD kBufferBytes = 4 * PACKAGE_CHUNK_BYTES;

    // Once the write before has ended.
    BOOL HandOver();
    void WaitIdle();
    static DWORD WINAPI Run(LPVOID p);

    CPackageFile& m_file;
    std::unique_ptr<BYTE[]> m_buffers[2];
    int m_next = 0;
    int m_pending = 0;
    DWORD m_cbFilled = 0;
    DWORD m_cbPending = 0;
    BOOL m_bInFlight = FALSE;
    volatile BOOL m_bFailed = FALSE;
    volatile BOOL m_bQuit = FALSE;
    CHandle m_hWork, m_hIdle, m_hThread;
};
