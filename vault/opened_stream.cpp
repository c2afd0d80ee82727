#include "vault/opened_stream.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>

#include "catalog/sha256.h"
#include "vault/records.h"
#include "vault/sealed_files.h"

namespace vault {
namespace {

using catalog::DownloadPart;
using catalog::Outcome;
using catalog::StoreCode;

constexpr std::size_t kHashChunk = 1 << 20;

class PartsOpener : public catalog::OpenedForm {
public:
    PartsOpener(const VaultKey& key, std::string name, const catalog::DownloadPlan& plan, std::uint64_t plainSize,
                platform::LocalFile& file)
        : key_(key),
          name_(std::move(name)),
          parts_(plan.parts),
          plainSize_(plainSize),
          records_(plainSize == 0 ? 1 : (plainSize + kRecordSize - 1) / kRecordSize),
          file_(file),
          states_(plan.parts.size()),
          done_(records_, 0) {
        for (std::size_t k = 0; k < parts_.size(); ++k) {
            std::uint64_t first = 0, last = 0;
            if (Touched(parts_[k], first, last)) states_[k].pending = last - first + 1;
        }
    }

    std::uint64_t TemporarySize() const override { return plainSize_ + kHeaderLength; }

    bool Kept(const DownloadPart& part) override {
        Bytes header(kHeaderLength);
        std::size_t got = 0;
        if (!file_.ReadAt(plainSize_, reinterpret_cast<char*>(header.data()), header.size(), got) ||
            got != header.size() || std::memcmp(header.data(), kFileMagic, 8) != 0)
            return false;
        RecordSealerAt sealer(key_, Bytes(header.begin() + 8, header.end()));
        catalog::Sha256 sha;
        const std::uint64_t end = part.offset + part.size;
        if (part.offset < kHeaderLength)
            sha.Update(header.data() + part.offset, std::min<std::uint64_t>(end, kHeaderLength) - part.offset);
        std::uint64_t first = 0, last = 0;
        std::vector<std::uint64_t> inside;
        std::vector<std::pair<std::uint64_t, Bytes>> seams;  // a record's bytes in the part, from its start
        Bytes plain(kRecordSize), sealed(kSealedRecordSize);
        for (bool any = Touched(part, first, last); any && first <= last; ++first) {
            const std::uint64_t start = RecordStart(first), length = RecordLength(first);
            got = 0;
            if ((length > kTagLength &&
                 !file_.ReadAt(first * kRecordSize, reinterpret_cast<char*>(plain.data()), length - kTagLength, got)) ||
                got != length - kTagLength ||
                !sealer.Seal(first, first + 1 == records_, plain.data(), got, sealed.data()))
                return false;
            const std::uint64_t from = std::max(part.offset, start) - start, to = std::min(end, start + length) - start;
            sha.Update(sealed.data() + from, to - from);
            if (from == 0 && to == length)
                inside.push_back(first);
            else
                seams.emplace_back(first, Bytes(sealed.begin() + static_cast<std::ptrdiff_t>(from),
                                                sealed.begin() + static_cast<std::ptrdiff_t>(to)));
        }
        if (sha.FinishHex() != part.sha256) return false;
        std::lock_guard<std::mutex> lock(lock_);
        if (part.offset < kHeaderLength) header_ = header, headerFilled_ = kHeaderLength, headerState_ = Known;
        for (std::uint64_t record : inside) Done(record);
        for (auto& [record, bytes] : seams) {
            const std::uint64_t from = std::max(part.offset, RecordStart(record)) - RecordStart(record);
            // Both sides kept: written whole by the earlier run.
            if (AddToSeam(record, from, bytes.data(), bytes.size(), bytes)) Done(record);
        }
        State& state = states_[part.number - 1];
        state.received = state.recorded = true;
        return true;
    }

    Outcome Write(const DownloadPart& part, std::uint64_t at, const char* data, std::size_t size) override {
        State& state = states_[part.number - 1];
        auto bytes = reinterpret_cast<const std::uint8_t*>(data);
        const std::uint64_t end = part.offset + part.size;
        for (std::uint64_t offset = part.offset + at; size > 0;) {
            std::size_t take = 0;
            Outcome outcome;
            if (offset < kHeaderLength) {
                take = static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeaderLength - offset));
                outcome = TakeHeader(offset, bytes, take);
            } else {
                const std::uint64_t record = (offset - kHeaderLength) / kSealedRecordSize;
                const std::uint64_t start = RecordStart(record), stop = start + RecordLength(record);
                take = static_cast<std::size_t>(std::min<std::uint64_t>(size, stop - offset));
                if (start >= part.offset && stop <= end) {
                    state.sealed.insert(state.sealed.end(), bytes, bytes + take);
                    if (state.sealed.size() == stop - start) outcome = Open(state, record, state.sealed);
                } else {
                    Bytes whole;
                    std::unique_lock<std::mutex> lock(lock_);
                    if (AddToSeam(record, offset - start, bytes, take, whole)) {
                        lock.unlock();
                        outcome = Open(state, record, whole);
                    }
                }
            }
            if (!outcome.Ok()) return outcome;
            bytes += take;
            offset += take;
            size -= take;
        }
        return catalog::Success();
    }

    void Ended(const DownloadPart& part, const Outcome& outcome, std::vector<std::uint32_t>& whole) override {
        std::lock_guard<std::mutex> lock(lock_);
        if (!outcome.Ok() && headerState_ == Waiting && part.offset < kHeaderLength) {
            // The parts waiting for the header end as the one that was to bring it.
            headerState_ = Failed;
            headerFailure_ = outcome;
            headerKnown_.notify_all();
        }
        if (outcome.Ok()) states_[part.number - 1].received = true;
        for (std::size_t k = 0; k < states_.size(); ++k) {
            State& state = states_[k];
            if (!state.received || state.recorded || state.pending > 0) continue;
            state.recorded = true;
            whole.push_back(parts_[k].number);
        }
    }

    Outcome Finish() override {
        if (headerState_ != Known || opened_ != records_)
            return catalog::Failure(StoreCode::Corrupt, "records are missing (" + std::to_string(records_ - opened_) +
                                                            " of " + std::to_string(records_) + ")");
        catalog::Sha256 sha;
        std::vector<char> buffer(kHashChunk);
        for (std::uint64_t at = 0; at < plainSize_;) {
            const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), plainSize_ - at));
            std::size_t got = 0;
            if (!file_.ReadAt(at, buffer.data(), want, got) || got != want)
                return catalog::Failure(StoreCode::LocalFile, "the temporary file could not be read");
            sha.Update(buffer.data(), got);
            at += got;
        }
        const catalog::Sha256Digest digest = sha.Finish();
        const Bytes expected = SyntheticFileId(key_, Bytes(digest.begin(), digest.end()), name_);
        if (!std::equal(expected.begin(), expected.end(), header_.begin() + 8))
            return catalog::Failure(StoreCode::Corrupt,
                                    "its records are authentic but belong to another file (a "
                                    "whole file put in its place)");
        if (!file_.Resize(plainSize_))
            return catalog::Failure(StoreCode::LocalFile, "the temporary file could not be cut to size");
        return catalog::Success();
    }

private:
    enum HeaderState { Waiting, Known, Failed };

    // What one part's fetch keeps; only its own thread touches the first three.
    struct State {
        std::unique_ptr<RecordOpenerAt> opener;  // once the header is known
        Bytes sealed;                            // the record coming in, whole within the part
        Bytes plain;
        std::uint64_t pending = 0;  // records it touches not written yet (under lock_)
        bool received = false, recorded = false;
    };

    // A record spanning parts, gathered from each.
    struct Seam {
        Bytes sealed;
        std::uint64_t filled = 0;
    };

    std::uint64_t RecordStart(std::uint64_t record) const { return kHeaderLength + record * kSealedRecordSize; }
    std::uint64_t RecordLength(std::uint64_t record) const {
        return record + 1 < records_ ? kSealedRecordSize : plainSize_ - record * kRecordSize + kTagLength;
    }
    // The records a part touches; false when it holds header bytes only.
    static bool Touched(const DownloadPart& part, std::uint64_t& first, std::uint64_t& last) {
        const std::uint64_t end = part.offset + part.size;
        if (end <= kHeaderLength) return false;
        first = (std::max<std::uint64_t>(part.offset, kHeaderLength) - kHeaderLength) / kSealedRecordSize;
        last = (end - 1 - kHeaderLength) / kSealedRecordSize;
        return true;
    }

    Outcome TakeHeader(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size) {
        std::lock_guard<std::mutex> lock(lock_);
        if (headerState_ != Waiting) return headerState_ == Known ? catalog::Success() : headerFailure_;
        if (header_.empty()) header_.resize(kHeaderLength);
        std::memcpy(header_.data() + offset, bytes, size);
        headerFilled_ += size;
        if (headerFilled_ < kHeaderLength) return catalog::Success();
        if (std::memcmp(header_.data(), kFileMagic, 8) != 0) {
            headerState_ = Failed;
            headerFailure_ = catalog::Failure(StoreCode::Corrupt, "not a vault file (unknown header)");
        } else if (!file_.WriteAt(plainSize_, reinterpret_cast<const char*>(header_.data()), header_.size())) {
            headerState_ = Failed;
            headerFailure_ = catalog::Failure(StoreCode::LocalFile, "the temporary file could not be written");
        } else {
            headerState_ = Known;
        }
        headerKnown_.notify_all();
        return headerState_ == Known ? catalog::Success() : headerFailure_;
    }

    // Adds a seam record's bytes; true (and `whole` its sealed bytes) once
    // they are all in. Under lock_.
    bool AddToSeam(std::uint64_t record, std::uint64_t within, const std::uint8_t* bytes, std::size_t size,
                   Bytes& whole) {
        Seam& seam = seams_[record];
        if (seam.sealed.empty()) seam.sealed.resize(RecordLength(record));
        std::memcpy(seam.sealed.data() + within, bytes, size);
        seam.filled += size;
        if (seam.filled < seam.sealed.size()) return false;
        whole = std::move(seam.sealed);
        seams_.erase(record);
        return true;
    }

    // Opens a record whole in `sealed` (then emptied) and writes its plain bytes in place.
    Outcome Open(State& state, std::uint64_t record, Bytes& sealed) {
        if (!state.opener) {
            std::unique_lock<std::mutex> lock(lock_);
            headerKnown_.wait(lock, [this] { return headerState_ != Waiting; });
            if (headerState_ == Failed) return headerFailure_;
            lock.unlock();
            state.opener = std::make_unique<RecordOpenerAt>(key_, header_);
            state.plain.resize(kRecordSize);
        }
        const std::size_t size = sealed.size() - kTagLength;
        if (!state.opener->Open(record, record + 1 == records_, sealed.data(), sealed.size(), state.plain.data()))
            return catalog::Failure(StoreCode::Corrupt, Unauthentic(record));
        sealed.clear();
        if (!file_.WriteAt(record * kRecordSize, reinterpret_cast<const char*>(state.plain.data()), size))
            return catalog::Failure(StoreCode::LocalFile, "the temporary file could not be written");
        std::lock_guard<std::mutex> lock(lock_);
        Done(record);
        return catalog::Success();
    }

    // Under lock_.
    void Done(std::uint64_t record) {
        if (done_[record]) return;
        done_[record] = 1;
        ++opened_;
        const std::uint64_t start = RecordStart(record), stop = start + RecordLength(record);
        auto k = std::upper_bound(parts_.begin(), parts_.end(), start,
                                  [](std::uint64_t at, const DownloadPart& part) { return at < part.offset; });
        for (k = k == parts_.begin() ? k : k - 1; k != parts_.end() && k->offset < stop; ++k)
            if (k->offset + k->size > start) --states_[static_cast<std::size_t>(k - parts_.begin())].pending;
    }

    const VaultKey& key_;
    const std::string name_;
    const std::vector<DownloadPart> parts_;
    const std::uint64_t plainSize_;
    const std::uint64_t records_;
    platform::LocalFile& file_;

    std::mutex lock_;  // guards what follows but the states' own buffers
    std::condition_variable headerKnown_;
    HeaderState headerState_ = Waiting;
    Outcome headerFailure_;
    Bytes header_;
    std::size_t headerFilled_ = 0;
    std::vector<State> states_;  // by part number - 1
    std::map<std::uint64_t, Seam> seams_;
    std::vector<char> done_;  // by record
    std::uint64_t opened_ = 0;
};

}  // namespace

catalog::OpenedFormOf OpeningForm(const VaultKey& key, const std::string& name) {
    return [&key, name](const catalog::DownloadPlan& plan, platform::LocalFile& temporary,
                        std::unique_ptr<catalog::OpenedForm>& form) {
        std::uint64_t plainSize = 0;
        if (!PlainSize(plan.size, plainSize))
            return catalog::Failure(StoreCode::Corrupt,
                                    "its size (" + std::to_string(plan.size) + " bytes) is not that of a vault file");
        form = std::make_unique<PartsOpener>(key, name, plan, plainSize, temporary);
        return catalog::Success();
    };
}

}  // namespace vault
