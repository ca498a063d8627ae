#pragma once
// Decodes the blocks of a format-2 archive ahead of the entry being written, one block per pool
// thread, and hands the entries back strictly in archive order. A stored block is handed out in
// place, with no copy; a content cut into blocks is handed out a block at a time, as pieces, so
// that what is held stays at a few blocks whatever the size of a file; that stays within the same
// budget as format 1's pool. A content cut into blocks that several entries name is decoded
// again for each of them rather than held whole.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "archive/block_codec.h"
#include "archive/block_format.h"
#include "archive/decode_ahead.h"

class CBlockDecodeAhead final : public AheadEntries {
public:
    // `source` is positioned after the header and lends the rest of the archive in place (or it is
    // copied once); the pool stops taking work once `cancel` is set.
    CBlockDecodeAhead(archive::ByteSource& source, const archive::Header& header,
                      const DecodeOptions& options, const std::atomic<bool>& cancel,
                      DecodeStats& stats);
    ~CBlockDecodeAhead() override;
    CBlockDecodeAhead(const CBlockDecodeAhead&) = delete;
    CBlockDecodeAhead& operator=(const CBlockDecodeAhead&) = delete;

    const AheadEntry& Next() override;
    archive::EntryError NextPiece(const unsigned char*& data, uint32_t& size) override;

private:
    struct Unit;
    struct Slot;
    struct HeldBuffer {
        std::unique_ptr<unsigned char[]> bytes;
        uint64_t capacity = 0;
    };

    const AheadEntry& Fail(archive::EntryError error);
    void CountNamings();
    void Fill();
    Unit* MakeUnits(const archive::ContentRecord& content, uint32_t index);
    const Slot* FindSlot(uint32_t content) const;
    void ReleaseBefore(uint32_t content);
    void ReleaseFront();
    void EndPieces();
    Unit* FrontUnit();
    bool Admit(Unit& unit);
    void WaitFor(Unit& unit);
    void RunTask(Unit& unit, archive::BlockDecoder& decoder);
    Unit* FindWork();
    void PoolThread();

    const DecodeOptions m_options;
    const std::atomic<bool>& m_cancel;
    DecodeStats& m_stats;
    std::unique_ptr<unsigned char[]> m_copy;  // the archive, from a source that cannot lend it
    archive::BlockDirectory m_directory;
    archive::EntryError m_openError = archive::EntryError::None;
    uint64_t m_blockRoom = 0;         // the largest block that is decoded, not lent in place
    std::vector<uint32_t> m_namings;  // entries naming each content

    // The writer's thread only.
    std::unique_ptr<archive::EntryCursor> m_entries;
    std::unique_ptr<archive::ContentCursor> m_contents;
    std::deque<Slot> m_slots;  // contents read ahead, from the entries' current one on
    std::deque<std::unique_ptr<Unit>> m_waiting;  // read, not yet let in by the budget
    Unit* m_lastUnit = nullptr;  // the solid block the last content read ahead lies in
    uint32_t m_lastBlock = 0;    // its block
    bool m_fillEnded = false;
    Unit* m_piece = nullptr;    // the piece the writer has now
    uint32_t m_piecesLeft = 0;  // of the entry being written
    uint64_t m_namedSizes = 0;
    archive::BlockDecoder m_decoder;
    AheadEntry m_entry;
    bool m_failed = false;

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_ready;
    std::deque<std::unique_ptr<Unit>> m_units;  // in block order
    std::vector<HeldBuffer> m_idle;
    uint64_t m_held = 0;
    uint64_t m_largest = 0;
    uint64_t m_sequence = 0;
    uint64_t m_firstFailure = UINT64_MAX;  // no unit after it is worth decoding
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
