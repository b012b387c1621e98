#include "devhost/html_elements.h"

namespace quillax::cli {

void ReadAttributes(std::string_view head, FoundElement& element) {
    std::size_t i = 0;
    while (i < head.size()) {
        while (i < head.size() && head[i] == ' ') ++i;
        std::string name;
        while (i < head.size() && head[i] != '=' && head[i] != ' ') {
            const char c = head[i++];
            name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        }
        GbString value;
        if (i < head.size() && head[i] == '=') {
            ++i;
            const char quote = i < head.size() && (head[i] == '"' || head[i] == '\'') ? head[i] : ' ';
            if (quote != ' ') ++i;
            std::size_t stop = head.find(quote, i);
            if (stop == std::string_view::npos) stop = head.size();
            value = GbString(head.substr(i, stop - i));
            i = stop + 1;
        }
        if (!name.empty()) element.attributes.emplace_back(name, value);
    }
}

std::optional<FoundElement> FindElement(const GbString& html, std::string_view tag,
                                        const std::function<bool(const FoundElement&)>& test) {
    const std::string open = "<" + std::string(tag);
    const std::string close = "</" + std::string(tag) + ">";
    for (int at = html.Find(open); at >= 0; at = html.Find(open, at + 1)) {
        const int nameEnd = at + static_cast<int>(open.size());
        const char after = static_cast<char>(html.GetAt(nameEnd));
        if (after != ' ' && after != '>') continue;
        const int end = html.Find(">", nameEnd);
        const int innerEnd = end < 0 ? -1 : html.Find(close, end);
        if (innerEnd < 0) break;
        FoundElement element;
        ReadAttributes(html.Slice(nameEnd, end - nameEnd), element);
        element.inner = GbString(html.Slice(end + 1, innerEnd - end - 1));
        if (test(element)) return element;
    }
    return std::nullopt;
}

}  // namespace quillax::cli
