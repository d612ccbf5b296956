#pragma once
// Reading the help book: the record behind the AppState's helpView (which
// section is read, where it is scrolled, the page laid out last, the search
// and the history), and the document view that draws the current page into
// a rectangle every frame with scrolling, links and search highlights. The
// help page reads through it, and so do the terms and account pages.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "docs/doc_layout.h"
#include "docs/helpbook.h"

namespace qm {

struct HelpViewState {
    std::shared_ptr<HelpBook> book;  // null until first use; copies share it
    int32_t currentSection = 0;
    double scroll = 0;  // pixels from the top of the page
    // The section whose heading the next drawn frame scrolls to; -1 for none.
    int32_t pendingSection = -1;

    // The page laid out last and what it was laid out for: another page, a
    // new column width or a new text size (the UI scale) lays out again.
    DocLayout layout;
    bool layoutValid = false;
    int32_t layoutPage = 0;
    double layoutWidth = 0;
    double layoutBaseSize = 0;
    int64_t layoutsMade = 0;  // a resize lays out once per new width, not per frame

    std::string searchText;
    std::vector<HelpSearchHit> results;
    std::string resultsQuery;
    // The results' snippets wrapped for the panel, made again for a new
    // query, width or text size.
    std::vector<std::vector<std::string>> snippetLines;
    std::string snippetQuery;
    double snippetWidth = 0;
    double snippetSize = 0;
    // How many searches ran: results are made once per change of the text,
    // never once per frame.
    int64_t searchesRun = 0;
    std::vector<std::string> highlightWords;
    bool contentsOpen = false;       // the narrow page shows the contents instead of the page
    std::vector<int32_t> backStack;  // most recent last
    std::vector<int32_t> forwardStack;
};

// The state's view record, made on first use.
HelpViewState& helpView(AppState& state);

// The book, loaded on first use (a load failure propagates and stores
// nothing). Loading also forgets a pending scroll.
std::shared_ptr<HelpBook> sharedHelpBook(AppState& state);

// Shows a section from its heading. remember pushes the section left behind
// on the back stack and empties the forward stack (not when the section is
// already shown); an index out of range changes nothing.
void openHelpSection(AppState& state, int32_t section, bool remember);

// Draws the current section's page into the rectangle and handles its
// wheel, keys, scroll bar and links for this frame. Load the book first.
void helpDocumentView(AppState& state, const Rect& rect);

}  // namespace qm
