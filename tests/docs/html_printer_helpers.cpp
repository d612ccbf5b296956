#include <fstream>
#include <sstream>

#include "core/utf8.h"
#include "html_printer.h"

namespace qm::test {

namespace {

void escapeHtml(std::string& out, std::string_view s)
{
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
}

// The parser keeps destinations as written; the reference renderer
// percent-encodes them, keeping existing escapes.
void escapeHref(std::string& out, std::string_view s)
{
    static const std::string_view keep = ";/?:@&=+$,-_.!~*'()#";
    auto isHex = [](char c) { return (c >= '0' && c <= '9') || ((c | 32) >= 'a' && (c | 32) <= 'f'); };
    std::string encoded;
    for (size_t i = 0; i < s.size(); ++i) {
        auto c = static_cast<unsigned char>(s[i]);
        if ((c >= '0' && c <= '9') || ((c | 32) >= 'a' && (c | 32) <= 'z') || keep.find(char(c)) != keep.npos) {
            encoded += char(c);
        } else if (c == '%' && i + 2 < s.size() && isHex(s[i + 1]) && isHex(s[i + 2])) {
            encoded += '%';
        } else {
            static const char* hex = "0123456789ABCDEF";
            encoded += '%';
            encoded += hex[c >> 4];
            encoded += hex[c & 15];
        }
    }
    escapeHtml(out, encoded);
}

void altText(std::string& out, const MarkdownNode* n)
{
    for (const MarkdownNode* c = n->firstChild; c; c = c->next) {
        switch (c->kind) {
        case mkText:
        case mkCode:
        case mkHtmlInline:
            escapeHtml(out, c->literal);
            break;
        case mkSoftBreak:
        case mkHardBreak:
            out += ' ';
            break;
        default:
            altText(out, c);
        }
    }
}

void cr(std::string& out)
{
    if (!out.empty() && out.back() != '\n')
        out += '\n';
}

bool inTightList(const MarkdownNode* para)
{
    const MarkdownNode* item = para->parent;
    return item && item->kind == mkListItem && item->parent && item->parent->kind == mkList && item->parent->tight;
}

void render(std::string& out, const MarkdownNode* n);

void children(std::string& out, const MarkdownNode* n)
{
    for (const MarkdownNode* c = n->firstChild; c; c = c->next)
        render(out, c);
}

const char* alignAttribute(TableAlignment a)
{
    switch (a) {
    case taLeft:
        return " align=\"left\"";
    case taCenter:
        return " align=\"center\"";
    case taRight:
        return " align=\"right\"";
    default:
        return "";
    }
}

void render(std::string& out, const MarkdownNode* n)
{
    switch (n->kind) {
    case mkDocument:
        children(out, n);
        break;
    case mkBlockQuote:
        cr(out);
        out += "<blockquote>\n";
        children(out, n);
        cr(out);
        out += "</blockquote>\n";
        break;
    case mkList:
        cr(out);
        if (n->ordered)
            out += n->start == 1 ? "<ol>\n" : "<ol start=\"" + std::to_string(n->start) + "\">\n";
        else
            out += "<ul>\n";
        children(out, n);
        out += n->ordered ? "</ol>\n" : "</ul>\n";
        break;
    case mkListItem:
        cr(out);
        out += "<li>";
        if (n->taskState >= 0)
            out += n->taskState ? "<input checked=\"\" disabled=\"\" type=\"checkbox\"> "
                                : "<input disabled=\"\" type=\"checkbox\"> ";
        children(out, n);
        out += "</li>\n";
        break;
    case mkParagraph:
        if (inTightList(n)) {
            children(out, n);
        } else {
            cr(out);
            out += "<p>";
            children(out, n);
            out += "</p>\n";
        }
        break;
    case mkHeading:
        cr(out);
        out += "<h" + std::to_string(n->level) + ">";
        children(out, n);
        out += "</h" + std::to_string(n->level) + ">\n";
        break;
    case mkThematicBreak:
        cr(out);
        out += "<hr />\n";
        break;
    case mkCodeBlock: {
        cr(out);
        std::string_view info = n->fenceLabel;
        size_t sp = info.find_first_of(" \t\n");
        info = info.substr(0, sp);
        if (info.empty()) {
            out += "<pre><code>";
        } else {
            out += "<pre><code class=\"language-";
            escapeHtml(out, info);
            out += "\">";
        }
        escapeHtml(out, n->literal);
        out += "</code></pre>\n";
        break;
    }
    case mkHtmlBlock:
        cr(out);
        out += n->literal;
        cr(out);
        break;
    case mkTable: {
        cr(out);
        out += "<table>\n";
        bool body = false;
        for (const MarkdownNode* row = n->firstChild; row; row = row->next) {
            if (row->isHeader) {
                out += "<thead>\n";
            } else if (!body) {
                out += "<tbody>\n";
                body = true;
            }
            out += "<tr>\n";
            size_t col = 0;
            for (const MarkdownNode* cell = row->firstChild; cell; cell = cell->next, ++col) {
                const char* tag = row->isHeader ? "th" : "td";
                out += std::string("<") + tag + alignAttribute(n->alignments[col]) + ">";
                children(out, cell);
                out += std::string("</") + tag + ">\n";
            }
            out += "</tr>\n";
            if (row->isHeader)
                out += "</thead>\n";
        }
        if (body)
            out += "</tbody>\n";
        out += "</table>\n";
        break;
    }
    case mkTableRow:
    case mkTableCell:
        children(out, n);
        break;
    case mkText:
        escapeHtml(out, n->literal);
        break;
    case mkSoftBreak:
        out += '\n';
        break;
    case mkHardBreak:
        out += "<br />\n";
        break;
    case mkCode:
        out += "<code>";
        escapeHtml(out, n->literal);
        out += "</code>";
        break;
    case mkEmphasis:
        out += "<em>";
        children(out, n);
        out += "</em>";
        break;
    case mkStrong:
        out += "<strong>";
        children(out, n);
        out += "</strong>";
        break;
    case mkStrikethrough:
        out += "<del>";
        children(out, n);
        out += "</del>";
        break;
    case mkLink:
        out += "<a href=\"";
        escapeHref(out, n->destination());
        out += "\"";
        if (!n->title().empty()) {
            out += " title=\"";
            escapeHtml(out, n->title());
            out += "\"";
        }
        out += ">";
        children(out, n);
        out += "</a>";
        break;
    case mkImage:
        out += "<img src=\"";
        escapeHref(out, n->destination());
        out += "\" alt=\"";
        altText(out, n);
        out += "\"";
        if (!n->title().empty()) {
            out += " title=\"";
            escapeHtml(out, n->title());
            out += "\"";
        }
        out += " />";
        break;
    case mkHtmlInline:
        out += n->literal;
        break;
    }
}

}  // namespace

std::string markdownToHtml(const MarkdownNode* document)
{
    std::string out;
    render(out, document);
    return out;
}

std::vector<SpecExample> readSpecExamples(const std::string& path)
{
    std::ifstream in(path);
    std::vector<SpecExample> examples;
    const std::string fence(32, '`');
    std::string line, section;
    int lineNumber = 0, number = 0;
    enum { outside, markdown, html } state = outside;
    SpecExample current;
    auto tabs = [](std::string s) {
        for (size_t at; (at = s.find("\xE2\x86\x92")) != std::string::npos;)
            s.replace(at, 3, "\t");
        return s;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (state == outside) {
            if (line.rfind("#", 0) == 0 && line.find(' ') != std::string::npos)
                section = line.substr(line.find(' ') + 1);
            if (line.rfind(fence + " example", 0) == 0) {
                current = SpecExample{};
                current.number = ++number;
                current.line = lineNumber;
                current.section = section;
                current.extension = line.size() > fence.size() + 9 ? line.substr(fence.size() + 9) : "";
                state = markdown;
            }
        } else if (state == markdown) {
            if (line == ".")
                state = html;
            else
                current.markdown += tabs(line) + "\n";
        } else {
            if (line == fence) {
                examples.push_back(current);
                state = outside;
            } else {
                current.html += tabs(line) + "\n";
            }
        }
    }
    return examples;
}

}  // namespace qm::test
