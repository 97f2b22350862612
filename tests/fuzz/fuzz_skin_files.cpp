// SPDX-License-Identifier: GPL-2.0-or-later
// Fuzz target: arbitrary bytes as a skin file (Designer XML) for the reader.
// Checks: no crash, the tree stays within the reader's limits, and a tree it
// accepts reads back unchanged from what the writer makes of it, and the
// writer gives the same bytes the second time. Underneath, our XML reader
// reads the bytes as Qt's stream reader does: the same elements, attributes
// and text where both accept them, and nothing accepted that Qt refuses.
#include <cstdint>
#include <cstdlib>

#include "ui/skin_parser.h"
#include "ui/xml_tokens.h"

using namespace vantorel::ui;

namespace {

// Nodes and the deepest nesting of a tree; the walk is bounded by the
// reader's depth limit.
void measure(const skin::Node& n, int depth, int& nodes, int& deepest) {
    ++nodes;
    if (depth > deepest) deepest = depth;
    for (const skin::Node& c : n.children) measure(c, depth + 1, nodes, deepest);
    for (const skin::Node& c : n.children) {
        if (c.row_span < 1 || c.column_span < 1 || c.row > skin::kMaxGridIndex || c.column > skin::kMaxGridIndex ||
            c.row_span > skin::kMaxGridIndex || c.column_span > skin::kMaxGridIndex) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList ours = vantorel::test::PullTokens(bytes);
    const QStringList theirs = vantorel::test::QtTokens(bytes);
    const bool ours_read = ours.isEmpty() || ours.last() != QLatin1String("error");
    const bool theirs_read = theirs.isEmpty() || theirs.last() != QLatin1String("error");
    if (ours_read && (!theirs_read || ours != theirs)) std::abort();

    const skin::ParseResult first = skin::parse(bytes);
    if (!first.ok) {
        if (first.error.isEmpty()) std::abort();
        return 0;
    }
    int nodes = 0, deepest = 0;
    measure(first.document.root, 0, nodes, deepest);
    if (nodes > skin::kMaxNodes || deepest > skin::kMaxDepth) std::abort();

    const QByteArray written = skin::write(first.document);
    const skin::ParseResult again = skin::parse(written);
    if (!again.ok || !(again.document == first.document)) std::abort();
    if (skin::write(again.document) != written) std::abort();
    return 0;
}
