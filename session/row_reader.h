// Turns the objects of a script answer into table rows. An object that
// holds one of the table's keys as its own member becomes a row when it
// closes, unless an object around it becomes a row too: then it is part of
// that row's value (a message's 'ctrls', a folder's 'parent'), not a row of
// its own. Members of a nested object named in `nested` (the 'stats' of a
// folder, the 'flags' of a message) count as members of the enclosing
// object. Members are matched by key, so unknown members, extra flags and
// their order do not matter, and a missing member leaves only its own cell
// empty. Rows past `capacity` are dropped, and an object cut off by the end
// of the answer never becomes a row.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "session/cells.h"
#include "session/keyword_scanner.h"

namespace session {

// Where a key's value goes inside a row; capacity 0 for keys the row lacks.
struct CellPlace {
    std::size_t offset = 0;
    std::size_t capacity = 0;
};

#define VANTLO_CELL(Row, field)                  \
    CellPlace {                                  \
        offsetof(Row, field), sizeof(Row::field) \
    }

// placeOf(key) names the cell of a key; valueOf(key, kind, value) gives the
// text to store (for example after a date's month fix).
template <class Row, class PlaceOf, class ValueOf>
std::size_t ReadRows(std::string_view text, Row* rows, std::size_t capacity,
                     std::initializer_list<std::string_view> nested, PlaceOf placeOf, ValueOf valueOf) {
    using RowList = std::vector<std::unique_ptr<Row>>;
    struct Frame {
        bool forwardsToParent = false;
        std::unique_ptr<Row> row;  // this object's own cells, once it has any
        RowList inner;             // rows of the objects inside it, in order
    };
    std::vector<Frame> frames;
    std::string openerKey;
    std::size_t count = 0;

    auto commit = [&](RowList& list) {
        for (auto& row : list)
            if (count < capacity) std::memcpy(&rows[count++], row.get(), sizeof(Row));
        list.clear();
    };
    // Hands the rows of a closed object on: to the object around it, or to
    // the table when it was the outermost one. An object that is a row
    // itself hands on only that row.
    auto handOn = [&](Frame& closed) {
        RowList result;
        if (closed.row)
            result.push_back(std::move(closed.row));
        else
            result = std::move(closed.inner);
        if (frames.empty()) {
            commit(result);
            return;
        }
        RowList& into = frames.back().inner;
        for (auto& row : result)
            if (into.size() < capacity) into.push_back(std::move(row));
    };

    KeywordScanner scanner(text);
    for (ScanEvent event = scanner.Next(); event != ScanEvent::End; event = scanner.Next()) {
        switch (event) {
        case ScanEvent::ObjectOpen: {
            Frame frame;
            for (std::string_view name : nested)
                if (openerKey == name) frame.forwardsToParent = true;
            frames.push_back(std::move(frame));
            openerKey.clear();
            break;
        }
        case ScanEvent::ObjectClose:
            if (!frames.empty()) {
                Frame closed = std::move(frames.back());
                frames.pop_back();
                handOn(closed);
            }
            break;
        case ScanEvent::Member: {
            if (scanner.Kind() == ValueKind::Object) {
                openerKey = scanner.Key();
                break;
            }
            openerKey.clear();
            if (frames.empty()) break;
            std::size_t target = frames.size() - 1;
            while (target > 0 && frames[target].forwardsToParent) --target;
            if (frames[target].forwardsToParent) break;
            CellPlace place = placeOf(scanner.Key());
            if (place.capacity == 0) break;
            // Inside an object that is already a row, this is part of that
            // row's value: no need to build a row that would be dropped.
            bool insideRow = false;
            for (std::size_t i = 0; i < target; ++i)
                if (frames[i].row) insideRow = true;
            if (insideRow) break;
            if (!frames[target].row) frames[target].row.reset(new Row());
            SetCell(reinterpret_cast<char*>(frames[target].row.get()) + place.offset, place.capacity,
                    valueOf(scanner.Key(), scanner.Kind(), scanner.Value()));
            break;
        }
        default: openerKey.clear(); break;
        }
    }
    // The text ended inside objects: the rows that closed within the open
    // ones still count, up to the first open object that is a row itself
    // (cut off, like everything inside it).
    for (Frame& open : frames) {
        if (open.row) break;
        commit(open.inner);
    }
    return count;
}

}  // namespace session
