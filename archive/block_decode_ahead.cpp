#include "archive/block_decode_ahead.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/entry_name.h"
#include "platform/pool_threads.h"

using archive::EntryError;

// One block as the pool decodes it: a solid block, which contents share, or one block of a
// content cut into blocks, a piece of it.
struct CBlockDecodeAhead::Unit {
    uint64_t sequence = 0;
    archive::BlockRecord block;
    bool inPlace = false;  // stored: `base` is the archive itself
    HeldBuffer buffer;
    const unsigned char* base = nullptr;
    uint32_t lastContent = 0;
    bool taken = false;  // a thread decodes it, or has, or nobody will
    bool decoded = false;
    EntryError error = EntryError::None;
};

// A content read ahead: where its bytes will lie, or why it cannot be read.
struct CBlockDecodeAhead::Slot {
    uint32_t content = 0;
    Unit* unit = nullptr;  // null for an empty content or a fault
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t pieces = 0;  // the blocks of a content cut into blocks; 0 for any other
    EntryError error = EntryError::None;
};

CBlockDecodeAhead::CBlockDecodeAhead(archive::ByteSource& source, const archive::Header& header,
                                     const DecodeOptions& options, const std::atomic<bool>& cancel,
                                     DecodeStats& stats)
    : m_options(options), m_cancel(cancel), m_stats(stats) {
    const uint64_t rest = source.Remaining();
    const unsigned char* bytes = rest < SIZE_MAX ? source.ReadInPlace(size_t(rest)) : nullptr;
    if (!bytes && rest < SIZE_MAX) {
        m_copy.reset(new (std::nothrow) unsigned char[size_t(rest) + 1]);
        if (m_copy && source.Read(m_copy.get(), size_t(rest)) == rest) bytes = m_copy.get();
    }
    m_openError = bytes ? m_directory.Open(header, bytes, size_t(rest)) : EntryError::ShortRead;
    if (m_openError == EntryError::None) {
        m_entries = std::make_unique<archive::EntryCursor>(m_directory);
        m_contents = std::make_unique<archive::ContentCursor>(m_directory);
        for (uint32_t b = 0; b < m_directory.BlockCount(); ++b) {
            archive::BlockRecord block;
            if (m_directory.Block(b, block) == EntryError::None &&
                block.codec != archive::Codec::Stored)
                m_blockRoom = std::max<uint64_t>(m_blockRoom, block.decodedSize);
        }
        CountNamings();
    }
    m_threads = StartPoolThreads(options.threads, [this] { PoolThread(); });
    m_stats.threads = unsigned(m_threads.size());
}

CBlockDecodeAhead::~CBlockDecodeAhead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

const AheadEntry& CBlockDecodeAhead::Fail(EntryError error) {
    m_entry.error = error;
    m_failed = true;
    return m_entry;
}

// How many entries name each content, read from the entry table once, so that a content cut into
// blocks is decoded once for each of them. The count stops where the table breaks a rule, and so
// does the run, before any content after that is named.
void CBlockDecodeAhead::CountNamings() {
    try {
        m_namings.assign(m_directory.ContentCount(), 0);
    } catch (const std::bad_alloc&) {
        m_namings.clear();
        return;
    }
    archive::EntryCursor scan(m_directory);
    archive::EntryRecord record;
    const uint32_t entries = uint32_t(m_directory.GetHeader().entryCount);
    while (scan.Read() < entries && scan.Next(record) == EntryError::None)
        if (record.content < m_namings.size()) ++m_namings[record.content];
}

const AheadEntry& CBlockDecodeAhead::Next() {
    EndPieces();
    m_entry = AheadEntry{};
    if (m_failed) return m_entry;
    if (m_openError != EntryError::None) return Fail(m_openError);
    archive::EntryRecord record;
    const EntryError read = m_entries->Next(record);
    m_entry.nameRead = !record.name.empty();
    m_entry.name.assign(record.name.begin(), record.name.end());
    if (read != EntryError::None) return Fail(read);
    m_entry.safe = IsSafeEntryName(m_entry.name);
    if (!m_entry.safe) return Fail(EntryError::None);

    if (!record.repeat) {
        // Fill stops only past a content whose unit waits for room, and every content before the
        // entry's has been handed out: the entry's content has been read.
        Fill();
        const Slot* slot = FindSlot(record.content);
        if (!slot) return Fail(EntryError::BadReference);
        ReleaseBefore(record.content);
        if (!m_waiting.empty()) Fill();
        while (m_slots.front().content < record.content) m_slots.pop_front();
        if (slot->error != EntryError::None) return Fail(slot->error);
        if (slot->unit && slot->pieces == 0) {
            WaitFor(*slot->unit);
            if (slot->unit->error != EntryError::None) return Fail(slot->unit->error);
        }
    }
    const Slot& slot = m_slots.front();
    static const unsigned char kEmpty = 0;
    m_entry.size = int32_t(slot.size);
    if (slot.pieces > 0) {
        // This entry's own pass over the content's blocks: the first unit not yet handed out.
        // Without the naming counts (no memory for them) a repeat finds no pass of its own.
        Unit* first = FrontUnit();
        if (!first || first->lastContent != slot.content) return Fail(EntryError::OutOfMemory);
        WaitFor(*first);
        if (first->error != EntryError::None) return Fail(first->error);
        m_piece = first;
        m_piecesLeft = slot.pieces - 1;
        m_entry.data = first->base;
        m_entry.pieceSize = first->block.decodedSize;
    } else {
        m_entry.data = slot.unit ? slot.unit->base + slot.offset : &kEmpty;
        m_entry.pieceSize = slot.size;
    }
    m_namedSizes += slot.size;
    // The last entry carries the checks of the whole, so a run fails before its final step.
    if (m_entries->Read() == uint32_t(m_directory.GetHeader().entryCount))
        if (const EntryError end = m_entries->Finish(m_namedSizes); end != EntryError::None)
            return Fail(end);
    return m_entry;
}

EntryError CBlockDecodeAhead::NextPiece(const unsigned char*& data, uint32_t& size) {
    // The pieces stay readable past a failure of the checks of the whole, which the last entry
    // carries: its bytes are good.
    if (m_piecesLeft == 0 || !m_piece) return EntryError::ShortRead;
    ReleaseFront();  // the piece before: the first unit of all
    --m_piecesLeft;
    Unit* unit = FrontUnit();
    if (unit) WaitFor(*unit);
    const EntryError error = unit ? unit->error : EntryError::OutOfMemory;
    if (error != EntryError::None) {
        m_piecesLeft = 0;
        Fail(error);
        return error;
    }
    m_piece = unit;
    data = unit->base;
    size = unit->block.decodedSize;
    return EntryError::None;
}

// The pieces of the entry before that the writer did not take, and the one it had, go back.
void CBlockDecodeAhead::EndPieces() {
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    while (m_piecesLeft > 0 && NextPiece(data, size) == EntryError::None) {
    }
    m_piecesLeft = 0;
    if (m_piece) ReleaseFront();
}

// The first unit in block order, let in when it still waits: nothing before it is held then,
// so it always gets in.
CBlockDecodeAhead::Unit* CBlockDecodeAhead::FrontUnit() {
    if (!m_waiting.empty()) Fill();
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_units.empty() ? nullptr : m_units.front().get();
}

const CBlockDecodeAhead::Slot* CBlockDecodeAhead::FindSlot(uint32_t content) const {
    for (const Slot& slot : m_slots)
        if (slot.content == content) return &slot;
    return nullptr;
}

// Reads contents ahead in order, each into the units of its blocks, and lets the units in while
// the window and the budget allow. Reading stops at the first content that breaks a rule.
void CBlockDecodeAhead::Fill() {
    // The writer's unit and one per pool thread: a block decodes in far less time than its files
    // take to write, so more ahead would only hold memory.
    const size_t window = size_t(m_options.threads) + 1;
    while (!m_waiting.empty() || !m_fillEnded) {
        if (!m_waiting.empty()) {
            bool admitted = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_units.size() < window && Admit(*m_waiting.front())) {
                    admitted = true;
                    m_units.push_back(std::move(m_waiting.front()));
                }
            }
            if (!admitted) return;
            m_waiting.pop_front();
            m_work.notify_all();
            continue;
        }
        if (m_contents->Checked() >= m_directory.ContentCount()) {
            m_fillEnded = true;
            return;
        }
        Slot slot;
        slot.content = m_contents->Checked();
        archive::ContentRecord content;
        slot.error = m_contents->Next(content);
        if (slot.error != EntryError::None) {
            m_slots.push_back(slot);
            m_fillEnded = true;
            return;
        }
        slot.offset = content.offset;
        slot.size = content.size;
        if (content.size > 0 && content.blockCount > 1) {
            slot.pieces = content.blockCount;
            slot.unit = MakeUnits(content, slot.content);
            m_lastUnit = nullptr;
        } else if (content.size > 0) {
            // A content goes back to no earlier block: once the block changes, the last is done.
            if (!m_lastUnit || m_lastBlock != content.firstBlock) {
                m_lastUnit = MakeUnits(content, slot.content);
                m_lastBlock = content.firstBlock;
            }
            slot.unit = m_lastUnit;
            m_lastUnit->lastContent = slot.content;
        }
        m_slots.push_back(slot);
    }
}

// The units of a content's blocks, waiting to be let in: one for a solid block, and for a
// content cut into blocks one per block for each entry that names it. Gives the first.
CBlockDecodeAhead::Unit* CBlockDecodeAhead::MakeUnits(const archive::ContentRecord& content,
                                                      uint32_t index) {
    const uint32_t passes =
        content.blockCount == 1 || index >= m_namings.size() ? 1 : m_namings[index];
    Unit* first = nullptr;
    for (uint32_t pass = 0; pass < passes; ++pass) {
        for (uint32_t b = 0; b < content.blockCount; ++b) {
            auto unit = std::make_unique<Unit>();
            unit->sequence = m_sequence++;
            // The content's check has passed every block it takes.
            m_directory.Block(content.firstBlock + b, unit->block);
            // Stored blocks are in the archive already.
            unit->inPlace = unit->block.codec == archive::Codec::Stored;
            if (unit->inPlace) unit->base = unit->block.stored;
            unit->lastContent = index;
            if (!first) first = unit.get();
            m_waiting.push_back(std::move(unit));
        }
    }
    return first;
}

// Gives the units whose contents all come before `content` back to the budget.
void CBlockDecodeAhead::ReleaseBefore(uint32_t content) {
    while (true) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_units.empty() || m_units.front()->lastContent >= content) return;
        }
        ReleaseFront();
    }
}

// Gives the first unit back to the budget once no thread decodes it; one nobody took is not
// decoded at all.
void CBlockDecodeAhead::ReleaseFront() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_units.empty()) return;
    Unit& unit = *m_units.front();
    if (!unit.taken)
        unit.taken = true;
    else
        m_ready.wait(lock, [&] { return unit.decoded; });
    if (unit.buffer.bytes) m_idle.push_back(std::move(unit.buffer));
    if (&unit == m_lastUnit) m_lastUnit = nullptr;
    if (&unit == m_piece) m_piece = nullptr;
    m_units.pop_front();
}

// Lets the unit in when the bytes held stay within the budget, giving it a buffer. Idle buffers
// count as held; they are dropped, largest first, to make room. With nothing else held the unit
// always gets in, so the run always moves on.
bool CBlockDecodeAhead::Admit(Unit& unit) {
    if (unit.inPlace) return true;
    // A buffer has room for the largest block, so that every later block fits the idle ones:
    // memory touched for the first time costs far more than the bytes it holds.
    const uint64_t need = std::max<uint64_t>(unit.block.decodedSize, m_blockRoom);
    m_largest = std::max(m_largest, need);
    const uint64_t budget = DecodeBudget(m_largest, m_options.headroom);
    m_stats.budget = budget;
    auto fit = m_idle.end();
    for (auto it = m_idle.begin(); it != m_idle.end(); ++it)
        if (it->capacity >= need && (fit == m_idle.end() || it->capacity < fit->capacity)) fit = it;
    if (fit != m_idle.end()) {
        unit.buffer = std::move(*fit);
        m_idle.erase(fit);
    } else {
        while (m_held + need > budget && !m_idle.empty()) {
            const auto largest = std::max_element(
                m_idle.begin(), m_idle.end(),
                [](const HeldBuffer& a, const HeldBuffer& b) { return a.capacity < b.capacity; });
            m_held -= largest->capacity;
            m_idle.erase(largest);
        }
        if (m_held + need > budget && !m_units.empty()) return false;
        unit.buffer.bytes.reset(new (std::nothrow) unsigned char[need]);
        if (!unit.buffer.bytes) {
            unit.error = EntryError::OutOfMemory;
            unit.taken = true;
            unit.decoded = true;
            return true;
        }
        unit.buffer.capacity = need;
        m_held += need;
        m_stats.RaisePeakHeld(m_held);
    }
    unit.base = unit.buffer.bytes.get();
    return true;
}

// Waits until the unit is decoded, decoding it itself while no pool thread has taken it.
void CBlockDecodeAhead::WaitFor(Unit& unit) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!unit.taken) {
        unit.taken = true;
        lock.unlock();
        RunTask(unit, m_decoder);
        return;
    }
    m_ready.wait(lock, [&] { return unit.decoded; });
}

void CBlockDecodeAhead::RunTask(Unit& unit, archive::BlockDecoder& decoder) {
    const EntryError error = unit.inPlace ? archive::CheckStoredBlock(unit.block)
                                          : decoder.Decode(unit.block, unit.buffer.bytes.get());
    m_stats.decoded.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(m_mutex);
    unit.error = error;
    if (error != EntryError::None) m_firstFailure = std::min(m_firstFailure, unit.sequence);
    unit.decoded = true;
    m_ready.notify_all();
}

// The first unit nobody has taken, in block order; none past a failure or once cancelled.
CBlockDecodeAhead::Unit* CBlockDecodeAhead::FindWork() {
    if (m_cancel.load(std::memory_order_relaxed)) return nullptr;
    for (const std::unique_ptr<Unit>& candidate : m_units) {
        if (candidate->sequence >= m_firstFailure) return nullptr;
        if (!candidate->taken) {
            candidate->taken = true;
            return candidate.get();
        }
    }
    return nullptr;
}

void CBlockDecodeAhead::PoolThread() {
    archive::BlockDecoder decoder;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        Unit* unit = nullptr;
        m_work.wait(lock, [&] { return m_stop || (unit = FindWork()) != nullptr; });
        if (m_stop) return;
        lock.unlock();
        RunTask(*unit, decoder);
        lock.lock();
    }
}
