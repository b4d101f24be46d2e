#include "undo_record.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

void PutVarint(std::vector<std::uint8_t>& bytes, std::size_t value)
{
    for (; value >= 0x80; value >>= 7)
        bytes.push_back(static_cast<std::uint8_t>(value | 0x80));
    bytes.push_back(static_cast<std::uint8_t>(value));
}

std::size_t GetVarint(const std::vector<std::uint8_t>& bytes, std::size_t& at)
{
    std::size_t value = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = bytes[at++];
        value |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (byte < 0x80)
            return value;
    }
}

// What a step costs besides its units: the step and each change's own size.
constexpr std::size_t kStepBytes = 64;

} // namespace

UndoRecord::UndoRecord(std::size_t budgetBytes)
    : budget_(budgetBytes)
{
}

// Keeps only what differs: the units before and after that the edit left as
// they were are dropped, and a change that keeps the length (a fold) keeps
// the runs of units that it replaced, if that takes less.
UndoRecord::Change UndoRecord::Make(std::int32_t offset, std::u16string removed, std::u16string_view inserted)
{
    const std::size_t most = std::min(removed.size(), inserted.size());
    const auto prefix = static_cast<std::size_t>(
        std::mismatch(removed.begin(), removed.begin() + static_cast<std::ptrdiff_t>(most), inserted.begin()).first
        - removed.begin());
    const auto suffix = static_cast<std::size_t>(
        std::mismatch(removed.rbegin(), removed.rbegin() + static_cast<std::ptrdiff_t>(most - prefix),
                      inserted.rbegin())
            .first
        - removed.rbegin());
    Change change;
    change.offset = offset + static_cast<std::int32_t>(prefix);
    change.length = static_cast<std::int32_t>(inserted.size() - prefix - suffix);
    const std::u16string_view was = std::u16string_view(removed).substr(prefix, removed.size() - prefix - suffix);
    const std::u16string_view now = inserted.substr(prefix, inserted.size() - prefix - suffix);
    if (was.size() == now.size()) {
        std::size_t last = 0;
        for (std::size_t at = 0; at < was.size();) {
            if (was[at] == now[at]) {
                ++at;
                continue;
            }
            const std::size_t start = at;
            while (at < was.size() && was[at] != now[at])
                ++at;
            PutVarint(change.runs, start - last);
            PutVarint(change.runs, at - start);
            change.units.append(was.substr(start, at - start));
            last = at;
        }
        change.sparse = change.runs.size() + change.units.size() * 2 < was.size() * 2;
    }
    if (!change.sparse) {
        // In place: the text a command replaced may be the whole text.
        change.runs = {};
        removed.resize(removed.size() - suffix);
        removed.erase(0, prefix);
        change.units = std::move(removed);
    }
    change.units.shrink_to_fit();
    change.runs.shrink_to_fit();
    return change;
}

std::size_t UndoRecord::BytesOf(const Step& step)
{
    std::size_t bytes = kStepBytes;
    for (const Change& change : step.changes)
        bytes += kStepBytes + change.units.capacity() * sizeof(char16_t) + change.runs.capacity();
    return bytes;
}

void UndoRecord::Edit(std::int32_t offset, std::u16string removed, std::u16string_view inserted, std::int32_t caret)
{
    textUnits_ = textUnits_ + inserted.size() - std::min(removed.size(), textUnits_);
    for (std::size_t undone = done_; undone < steps_.size(); ++undone)
        bytes_ -= BytesOf(steps_[undone]);
    steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
    if (!open_) {
        steps_.push_back(Step{{}, caret});
        bytes_ += BytesOf(steps_.back());
        ++done_;
        open_ = true;
    }
    Step& step = steps_.back();
    bytes_ -= BytesOf(step);
    // A command empties the text and then fills it: one change, so that a
    // fold keeps only the letters it replaced.
    if (!step.changes.empty()) {
        Change& last = step.changes.back();
        if (!last.sparse && last.length == 0 && last.offset == offset) {
            removed.insert(0, last.units);
            step.changes.pop_back();
        }
    }
    // A change that takes out nothing, or puts in nothing, and leaves the
    // text as it was is none; a command that writes the text it found is one.
    const bool replaces = !removed.empty() && !inserted.empty();
    step.changes.push_back(Make(offset, std::move(removed), inserted));
    if (!replaces && step.changes.back().length == 0 && step.changes.back().units.empty())
        step.changes.pop_back();
    bytes_ += BytesOf(step);
    // A command's write that empties the text is held whole until the write
    // that fills it again joins it: judged before, the budget would be that
    // of an empty text, and the older steps would go for a moment's text.
    if (textUnits_ > 0 || !inserted.empty())
        Trim();
}

void UndoRecord::Close()
{
    if (open_ && steps_.back().changes.empty()) {
        bytes_ -= BytesOf(steps_.back());
        steps_.pop_back();
        --done_;
    }
    open_ = false;
    Trim();
}

bool UndoRecord::CanUndo() const
{
    return done_ > 0;
}

bool UndoRecord::CanRedo() const
{
    return done_ < steps_.size();
}

void UndoRecord::Swap(Change& change, std::u16string& text)
{
    const auto offset = static_cast<std::size_t>(change.offset);
    if (change.sparse) {
        std::size_t at = offset;
        std::size_t unit = 0;
        for (std::size_t read = 0; read < change.runs.size();) {
            at += GetVarint(change.runs, read);
            const std::size_t length = GetVarint(change.runs, read);
            std::swap_ranges(change.units.begin() + static_cast<std::ptrdiff_t>(unit),
                             change.units.begin() + static_cast<std::ptrdiff_t>(unit + length),
                             text.begin() + static_cast<std::ptrdiff_t>(at));
            at += length;
            unit += length;
        }
        return;
    }
    std::u16string taken = text.substr(offset, static_cast<std::size_t>(change.length));
    text.replace(offset, static_cast<std::size_t>(change.length), change.units);
    change.length = static_cast<std::int32_t>(change.units.size());
    change.units = std::move(taken);
    change.units.shrink_to_fit();
}

std::int32_t UndoRecord::Apply(Step& step, std::u16string& text, std::int32_t caret, bool back)
{
    open_ = false;
    bytes_ -= BytesOf(step);
    if (back)
        std::for_each(step.changes.rbegin(), step.changes.rend(), [&](Change& change) { Swap(change, text); });
    else
        std::for_each(step.changes.begin(), step.changes.end(), [&](Change& change) { Swap(change, text); });
    bytes_ += BytesOf(step);
    const Change& first = back ? step.changes.front() : step.changes.back();
    const std::int32_t to = step.caret >= 0 ? step.caret : first.offset + first.length;
    step.caret = caret;
    textUnits_ = text.size();
    Trim();
    return to;
}

// A text of another length than the record's edits made it was changed
// where the record did not see it: its steps would swap units that are not
// there, so they go, and the text stays as it is.
bool UndoRecord::Matches(const std::u16string& text)
{
    if (text.size() == textUnits_)
        return true;
    steps_.clear();
    done_ = 0;
    bytes_ = 0;
    open_ = false;
    textUnits_ = text.size();
    return false;
}

std::int32_t UndoRecord::Undo(std::u16string& text, std::int32_t caret)
{
    if (!Matches(text))
        return caret;
    --done_;
    return Apply(steps_[done_], text, caret, true);
}

std::int32_t UndoRecord::Redo(std::u16string& text, std::int32_t caret)
{
    if (!Matches(text))
        return caret;
    ++done_;
    return Apply(steps_[done_ - 1], text, caret, false);
}

// The oldest step goes first; once every step is undone, the last to redo.
void UndoRecord::Trim()
{
    const std::size_t budget = std::max(budget_, textUnits_ * sizeof(char16_t));
    while (bytes_ > budget && steps_.size() > 1) {
        if (done_ > 0) {
            bytes_ -= BytesOf(steps_.front());
            steps_.pop_front();
            --done_;
        } else {
            bytes_ -= BytesOf(steps_.back());
            steps_.pop_back();
        }
    }
}

} // namespace platform
