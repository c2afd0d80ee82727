#include "multipart_reader.h"

#include "text_rules.h"

namespace provider {

namespace {

// Splits "type; a=1; b="x;y"" at the semicolons outside quotes; calls
// visit(name, value) for each parameter with the quotes taken off. Quoted
// values are taken as they stand, without backslash escapes, since some
// clients put Windows paths in them.
template <typename Visit>
void ForEachParameter(std::string_view text, Visit visit) {
    std::size_t pos = text.find(';');
    while (pos != std::string_view::npos && pos < text.size()) {
        ++pos;
        std::size_t equals = text.find('=', pos);
        std::size_t nextSemicolon = text.find(';', pos);
        if (equals == std::string_view::npos || (nextSemicolon != std::string_view::npos && nextSemicolon < equals)) {
            pos = nextSemicolon;
            continue;
        }
        std::string_view name = TrimSpacesAndTabs(text.substr(pos, equals - pos));
        std::size_t valueStart = equals + 1;
        while (valueStart < text.size() && (text[valueStart] == ' ' || text[valueStart] == '\t')) ++valueStart;
        std::string_view value;
        if (valueStart < text.size() && text[valueStart] == '"') {
            std::size_t close = text.find('"', valueStart + 1);
            if (close == std::string_view::npos) close = text.size();
            value = text.substr(valueStart + 1, close - valueStart - 1);
            pos = text.find(';', close);
        } else {
            std::size_t end = text.find(';', valueStart);
            value = TrimSpacesAndTabs(
                text.substr(valueStart, (end == std::string_view::npos ? text.size() : end) - valueStart));
            pos = end;
        }
        visit(ToLowerAscii(name), value);
    }
}

}  // namespace

const char* MultipartFaultText(MultipartFault fault) {
    switch (fault) {
    case MultipartFault::None: return "complete";
    case MultipartFault::Malformed: return "malformed multipart body";
    case MultipartFault::HeadTooLarge: return "part head too large";
    case MultipartFault::Aborted: return "stopped by the receiver";
    case MultipartFault::Truncated: return "the body ends before its closing delimiter";
    }
    return "unknown fault";
}

std::optional<std::string> BoundaryFromContentType(std::string_view contentType) {
    std::string_view type = TrimSpacesAndTabs(contentType.substr(0, contentType.find(';')));
    if (!EqualsIgnoringCase(type, "multipart/form-data")) return std::nullopt;
    std::optional<std::string> boundary;
    ForEachParameter(contentType, [&](const std::string& name, std::string_view value) {
        if (name == "boundary" && !boundary) boundary = std::string(value);
    });
    if (!boundary || boundary->empty() || boundary->size() > kMaxBoundaryBytes) return std::nullopt;
    for (char c : *boundary)
        if (c == '\r' || c == '\n') return std::nullopt;
    return boundary;
}

MultipartReader::MultipartReader(std::string_view boundary, MultipartSink& sink)
    : delimiter_("\r\n--" + std::string(boundary)), sink_(sink) {
    // The first delimiter stands at the very start of the body, without the
    // line break that comes before every later one; pretend it is there.
    pending_ = "\r\n";
}

MultipartFault MultipartReader::Fail(MultipartFault fault) {
    state_ = State::Failed;
    pending_.clear();
    return fault;
}

MultipartFault MultipartReader::Feed(const char* data, std::size_t size) {
    if (state_ == State::Failed) return MultipartFault::Malformed;
    if (state_ == State::Epilogue) return MultipartFault::None;
    pending_.append(data, size);
    bool progressed = true;
    while (progressed) {
        MultipartFault fault = Step(progressed);
        if (fault != MultipartFault::None) return Fail(fault);
    }
    return MultipartFault::None;
}

MultipartFault MultipartReader::Finish() {
    if (state_ == State::Epilogue) return MultipartFault::None;
    if (state_ == State::Failed) return MultipartFault::Malformed;
    return Fail(MultipartFault::Truncated);
}

MultipartFault MultipartReader::Step(bool& progressed) {
    progressed = false;
    switch (state_) {
    case State::Preamble:
    case State::PartData: {
        std::size_t found = pending_.find(delimiter_);
        std::size_t emit = found != std::string::npos             ? found
                           : pending_.size() >= delimiter_.size() ? pending_.size() - (delimiter_.size() - 1)
                                                                  : 0;
        if (emit > 0 && state_ == State::PartData && !sink_.OnPartData(pending_.data(), emit))
            return MultipartFault::Aborted;
        if (found == std::string::npos) {
            pending_.erase(0, emit);
            return MultipartFault::None;
        }
        if (state_ == State::PartData && !sink_.OnPartEnd()) return MultipartFault::Aborted;
        pending_.erase(0, found + delimiter_.size());
        state_ = State::AfterDelimiter;
        progressed = true;
        return MultipartFault::None;
    }
    case State::AfterDelimiter: {
        if (pending_.size() < 2) return MultipartFault::None;
        if (pending_.compare(0, 2, "--") == 0) {
            state_ = State::Epilogue;
            pending_.clear();
            return MultipartFault::None;
        }
        // Blanks may pad the delimiter line before its line break.
        std::size_t lineEnd = pending_.find("\r\n");
        if (lineEnd == std::string::npos) {
            if (pending_.size() > 256) return MultipartFault::Malformed;
            for (std::size_t i = 0; i < pending_.size(); ++i) {
                char c = pending_[i];
                bool lineBreakComing = c == '\r' && i + 1 == pending_.size();
                if (c != ' ' && c != '\t' && !lineBreakComing) return MultipartFault::Malformed;
            }
            return MultipartFault::None;
        }
        for (std::size_t i = 0; i < lineEnd; ++i)
            if (pending_[i] != ' ' && pending_[i] != '\t') return MultipartFault::Malformed;
        pending_.erase(0, lineEnd + 2);
        state_ = State::PartHead;
        progressed = true;
        return MultipartFault::None;
    }
    case State::PartHead: {
        std::size_t headEnd;
        std::size_t skip;
        if (pending_.compare(0, 2, "\r\n") == 0) {
            headEnd = 0;  // a part without head lines
            skip = 2;
        } else {
            headEnd = pending_.find("\r\n\r\n");
            if (headEnd == std::string::npos) {
                if (pending_.size() > kMaxPartHeadBytes) return MultipartFault::HeadTooLarge;
                return MultipartFault::None;
            }
            if (headEnd > kMaxPartHeadBytes) return MultipartFault::HeadTooLarge;
            skip = 4;
        }
        PartHead head;
        if (!ParseHead(std::string_view(pending_).substr(0, headEnd), head)) return MultipartFault::Malformed;
        if (!sink_.OnPartBegin(head)) return MultipartFault::Aborted;
        // The part's data starts here; the CR LF before the next delimiter
        // belongs to the delimiter, not to the data.
        pending_.erase(0, headEnd + skip);
        state_ = State::PartData;
        progressed = true;
        return MultipartFault::None;
    }
    case State::Epilogue:
    case State::Failed: return MultipartFault::None;
    }
    return MultipartFault::None;
}

bool MultipartReader::ParseHead(std::string_view text, PartHead& head) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 2;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return false;
        std::string name = ToLowerAscii(TrimSpacesAndTabs(line.substr(0, colon)));
        std::string_view value = TrimSpacesAndTabs(line.substr(colon + 1));
        if (name == "content-disposition") {
            ForEachParameter(value, [&](const std::string& parameter, std::string_view parameterValue) {
                if (parameter == "name") head.name = std::string(parameterValue);
                if (parameter == "filename") {
                    head.filename = std::string(parameterValue);
                    head.hasFilename = true;
                }
            });
        } else if (name == "content-type") {
            head.contentType = std::string(value);
        }
    }
    return true;
}

}  // namespace provider
