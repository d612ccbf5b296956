// parseMarkdown on arbitrary bytes, with and without extended autolinks: it
// must finish, and every node must be closed and linked consistently.
#include <string_view>

#include "docs/markdown.h"

namespace {

void checkTree(const qm::MarkdownNode* root)
{
    for (const qm::MarkdownNode* n = root; n; n = qm::nextInSubtree(root, n)) {
        if (n->open && n->kind <= qm::mkTableCell)
            __builtin_trap();
        for (const qm::MarkdownNode* c = n->firstChild; c; c = c->next)
            if (c->parent != n || (c->next && c->next->prev != c))
                __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (bool autolinks : {false, true}) {
        auto doc = qm::parseMarkdown(text, autolinks);
        checkTree(doc.get());
        (void)qm::plainText(doc.get());
    }
    return 0;
}
