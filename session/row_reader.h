// Turns the objects of a script answer into table rows. Every object that
// holds one of the table's keys as its own member becomes a row when it
// closes; members of a nested object named in `nested` (the 'stats' of a
// folder, the 'flags' of a message) count as members of the enclosing
// object. Members are matched by key, so unknown members, extra flags and
// their order do not matter. Rows past `capacity` are dropped, and an
// object cut off by the end of the answer never becomes a row.
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

#define VANTLO_CELL(Row, field) \
    CellPlace { offsetof(Row, field), sizeof(Row::field) }

// placeOf(key) names the cell of a key; valueOf(key, kind, value) gives the
// text to store (for example after a date's month fix).
template <class Row, class PlaceOf, class ValueOf>
std::size_t ReadRows(std::string_view text, Row* rows, std::size_t capacity,
                     std::initializer_list<std::string_view> nested, PlaceOf placeOf, ValueOf valueOf) {
    struct Frame {
        bool forwardsToParent = false;
        std::unique_ptr<Row> row;
    };
    std::vector<Frame> frames;
    std::string openerKey;
    std::size_t count = 0;

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
                if (closed.row && count < capacity) std::memcpy(&rows[count++], closed.row.get(), sizeof(Row));
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
            // An object inside a row (other than the nested ones named
            // above) is part of that row's value, not a row of its own.
            bool insideRow = false;
            for (std::size_t i = 0; i < target; ++i)
                if (frames[i].row) insideRow = true;
            if (insideRow) break;
            if (!frames[target].row) frames[target].row.reset(new Row());
            SetCell(reinterpret_cast<char*>(frames[target].row.get()) + place.offset, place.capacity,
                    valueOf(scanner.Key(), scanner.Kind(), scanner.Value()));
            break;
        }
        default:
            openerKey.clear();
            break;
        }
    }
    return count;
}

}  // namespace session
