#include "archive/block_decode_ahead.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/entry_name.h"
#include "platform/pool_threads.h"

using archive::EntryError;

// What one decoding hands over: a block, which solid contents share, or the blocks of one content
// cut into blocks, joined in one buffer.
struct CBlockDecodeAhead::Unit {
    uint64_t sequence = 0;
    std::vector<archive::BlockRecord> blocks;
    std::vector<uint64_t> at;  // where each block's bytes begin in `base`
    uint64_t size = 0;
    bool inPlace = false;  // every block stored: `base` is the archive itself
    HeldBuffer buffer;
    const unsigned char* base = nullptr;
    uint32_t lastContent = 0;
    size_t nextTask = 0;
    size_t pending = 0;
    EntryError error = EntryError::None;
    size_t failedTask = 0;  // the block `error` is of: the first in order, whichever ends first
};

// A content read ahead: where its bytes will lie, or why it cannot be read.
struct CBlockDecodeAhead::Slot {
    uint32_t content = 0;
    Unit* unit = nullptr;  // null for an empty content or a fault
    uint32_t offset = 0;
    uint32_t size = 0;
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

const AheadEntry& CBlockDecodeAhead::Next() {
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
        if (slot->unit && m_waiting.get() == slot->unit) Fill();
        while (m_slots.front().content < record.content) m_slots.pop_front();
        if (slot->error != EntryError::None) return Fail(slot->error);
        if (slot->unit) {
            WaitFor(*slot->unit);
            if (slot->unit->error != EntryError::None) return Fail(slot->unit->error);
        }
    }
    const Slot& slot = m_slots.front();
    static const unsigned char kEmpty = 0;
    m_entry.data = slot.unit ? slot.unit->base + slot.offset : &kEmpty;
    m_entry.size = int32_t(slot.size);
    m_namedSizes += slot.size;
    // The last entry carries the checks of the whole, so a run fails before its final step.
    if (m_entries->Read() == uint32_t(m_directory.GetHeader().entryCount))
        if (const EntryError end = m_entries->Finish(m_namedSizes); end != EntryError::None)
            return Fail(end);
    return m_entry;
}

const CBlockDecodeAhead::Slot* CBlockDecodeAhead::FindSlot(uint32_t content) const {
    for (const Slot& slot : m_slots)
        if (slot.content == content) return &slot;
    return nullptr;
}

// Reads contents ahead in order, each into the unit of its blocks, and lets the units in while the
// window and the budget allow. Reading stops at the first content that breaks a rule.
void CBlockDecodeAhead::Fill() {
    // The writer's unit and one per pool thread: a block decodes in far less time than its files
    // take to write, so more ahead would only hold memory.
    const size_t window = size_t(m_options.threads) + 1;
    while (m_waiting || !m_fillEnded) {
        if (m_waiting) {
            bool admitted = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_units.size() < window && Admit(*m_waiting)) {
                    admitted = true;
                    m_units.push_back(std::move(m_waiting));
                }
            }
            if (!admitted) return;
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
        if (content.size > 0) {
            // A content goes back to no earlier block: once the unit changes, the last is done.
            const bool sameBlock = content.blockCount == 1 && m_lastUnit &&
                                   m_lastUnit->blocks.size() == 1 &&
                                   m_lastBlock == content.firstBlock;
            if (!sameBlock) m_waiting = MakeUnit(content);
            slot.unit = m_lastUnit;
            m_lastUnit->lastContent = slot.content;
        }
        m_slots.push_back(slot);
    }
}

std::unique_ptr<CBlockDecodeAhead::Unit> CBlockDecodeAhead::MakeUnit(
    const archive::ContentRecord& content) {
    auto unit = std::make_unique<Unit>();
    unit->sequence = m_sequence++;
    unit->inPlace = true;
    for (uint32_t b = 0; b < content.blockCount; ++b) {
        archive::BlockRecord block;
        // The content's check has passed every block it takes.
        m_directory.Block(content.firstBlock + b, block);
        unit->at.push_back(unit->size);
        unit->size += block.decodedSize;
        unit->inPlace = unit->inPlace && block.codec == archive::Codec::Stored;
        unit->blocks.push_back(block);
    }
    unit->pending = unit->blocks.size();
    // Stored blocks lie one after the other in the archive, so their content is there already.
    if (unit->inPlace) unit->base = unit->blocks.front().stored;
    m_lastUnit = unit.get();
    m_lastBlock = content.firstBlock;
    return unit;
}

// Gives the units whose contents all come before `content` back to the budget.
void CBlockDecodeAhead::ReleaseBefore(uint32_t content) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_units.empty() && m_units.front()->lastContent < content) {
        Unit& unit = *m_units.front();
        m_ready.wait(lock, [&] { return unit.pending == 0; });
        if (unit.buffer.bytes) m_idle.push_back(std::move(unit.buffer));
        if (&unit == m_lastUnit) m_lastUnit = nullptr;
        m_units.pop_front();
    }
}

// Lets the unit in when the bytes held stay within the budget, giving it a buffer. Idle buffers
// count as held; they are dropped, largest first, to make room. With nothing else held the unit
// always gets in, so the run always moves on.
bool CBlockDecodeAhead::Admit(Unit& unit) {
    if (unit.inPlace) return true;
    // A block's buffer has room for the largest block, so that every later block fits the idle
    // ones: memory touched for the first time costs far more than the bytes it holds.
    const uint64_t need = unit.blocks.size() == 1 ? std::max(unit.size, m_blockRoom) : unit.size;
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
            unit.nextTask = unit.blocks.size();
            unit.pending = 0;
            return true;
        }
        unit.buffer.capacity = need;
        m_held += need;
        m_stats.RaisePeakHeld(m_held);
    }
    unit.base = unit.buffer.bytes.get();
    return true;
}

// Waits until the unit is decoded, taking a block of it itself while no pool thread has.
void CBlockDecodeAhead::WaitFor(Unit& unit) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (unit.pending > 0) {
        if (unit.nextTask < unit.blocks.size()) {
            const size_t task = unit.nextTask++;
            lock.unlock();
            RunTask(unit, task, m_decoder);
            lock.lock();
        } else {
            m_ready.wait(lock);
        }
    }
}

void CBlockDecodeAhead::RunTask(Unit& unit, size_t task, archive::BlockDecoder& decoder) {
    const archive::BlockRecord& block = unit.blocks[task];
    const EntryError error = unit.inPlace
                                 ? archive::CheckStoredBlock(block)
                                 : decoder.Decode(block, unit.buffer.bytes.get() + unit.at[task]);
    m_stats.decoded.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (error != EntryError::None && (unit.error == EntryError::None || task < unit.failedTask)) {
        unit.error = error;
        unit.failedTask = task;
        m_firstFailure = std::min(m_firstFailure, unit.sequence);
    }
    if (--unit.pending == 0) m_ready.notify_all();
}

// The first block nobody has taken, in block order; none past a failure or once cancelled.
bool CBlockDecodeAhead::FindWork(Unit*& unit, size_t& task) {
    if (m_cancel.load(std::memory_order_relaxed)) return false;
    for (const std::unique_ptr<Unit>& candidate : m_units) {
        if (candidate->sequence >= m_firstFailure) return false;
        if (candidate->nextTask < candidate->blocks.size()) {
            unit = candidate.get();
            task = unit->nextTask++;
            return true;
        }
    }
    return false;
}

void CBlockDecodeAhead::PoolThread() {
    archive::BlockDecoder decoder;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        Unit* unit = nullptr;
        size_t task = 0;
        m_work.wait(lock, [&] { return m_stop || FindWork(unit, task); });
        if (m_stop) return;
        lock.unlock();
        RunTask(*unit, task, decoder);
        lock.lock();
    }
}
