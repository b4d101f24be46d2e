#pragma once

// The text area's undo record, the same on every backend: each area feeds it
// every edit of its text, as the units it removed and inserted at an offset,
// and it keeps, for each step, only the units that the text does not hold
// now: a step undone keeps what it took out, so undo and redo are one swap.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class UndoRecord {
public:
    // The record may hold this much, or as much as the text itself takes if
    // that is more; past it the oldest steps go.
    static constexpr std::size_t kBudgetBytes = std::size_t{256} << 20;
    explicit UndoRecord(std::size_t budgetBytes = kBudgetBytes);

    // An edit at `offset`: `removed` made way for `inserted`. It joins the
    // open step, or opens one with the caret that stood before it. Whatever
    // was undone can no longer be redone.
    void Edit(std::int32_t offset, std::u16string removed, std::u16string_view inserted, std::int32_t caret);
    // Closes the open step: the next edit starts one of its own.
    void Close();

    bool CanUndo() const;
    bool CanRedo() const;
    // Takes `text` one step back or forward in place and returns the caret
    // to place; `caret` is where it stands now, for the way back. A text
    // that an edit the record never saw has lengthened or shortened stays as
    // it is, and the record forgets its steps.
    std::int32_t Undo(std::u16string& text, std::int32_t caret);
    std::int32_t Redo(std::u16string& text, std::int32_t caret);

    std::size_t Bytes() const { return bytes_; }

private:
    // The units at `offset` that a step swaps with the text: `units`, which
    // the text does not hold, for the `length` units it holds there.
    // A change of as many units as it removes keeps only the units that
    // differ, as runs: `runs` holds the gap before each and its length, in
    // varints, and `units` their units one after the other.
    struct Change {
        std::int32_t offset = 0;
        std::int32_t length = 0;
        std::u16string units;
        std::vector<std::uint8_t> runs;
        bool sparse = false;
    };
    struct Step {
        std::vector<Change> changes;
        // Where the caret stood before the step was done, or undone; -1:
        // after the change's units.
        std::int32_t caret = -1;
    };

    static Change Make(std::int32_t offset, std::u16string removed, std::u16string_view inserted);
    static std::size_t BytesOf(const Step& step);
    static void Swap(Change& change, std::u16string& text);
    std::int32_t Apply(Step& step, std::u16string& text, std::int32_t caret, bool back);
    void Trim();
    bool Matches(const std::u16string& text);

    std::deque<Step> steps_;
    // Steps before it are done, from it on undone.
    std::size_t done_ = 0;
    bool open_ = false;
    std::size_t bytes_ = 0;
    std::size_t budget_;
    std::size_t textUnits_ = 0;
};

} // namespace platform
