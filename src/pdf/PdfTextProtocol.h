#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vk {

// What the viewer and its text helper processes say to each other. The viewer
// writes one request to a helper's standard input and closes it; the helper
// answers with one record per page it read on standard output, pages rising.
// The book itself comes in a memory file (PdfBookFile.h).

// The one argument the viewer gives a helper, followed by the viewer's process
// id: a helper started by a viewer that has ended already ends at once.
inline constexpr char kParentPidOption[] = "--parent-pid=";
// Followed by the descriptor of the memory file that holds the book.
inline constexpr char kBookOption[] = "--book-fd=";
// Followed by the descriptor of the page count the helpers of one book share
// (PdfPageClaims); a helper given none reads every page itself.
inline constexpr char kPageClaimsOption[] = "--page-claims-fd=";

// The number after option in the argument that starts with it: 0 when that is
// not a whole positive number, nullopt when no argument starts with option.
std::optional<long> optionNumber(int argc, char **argv, const char *option);
// The same for a descriptor the viewer passed on: -1 when the number is not
// one (standard input, output and error never are).
std::optional<int> optionDescriptor(int argc, char **argv, const char *option);

struct PdfTextRequest
{
    QString password;     // empty: the book opens without one
    int endPage = 0;      // no page from here on; past the book's last page: to its end
};

struct PdfPageRecord
{
    int page = -1;
    QString text;
};

QByteArray encodeTextRequest(const PdfTextRequest &request);
// Null for bytes that are not one whole request.
std::optional<PdfTextRequest> decodeTextRequest(const QByteArray &bytes);

QByteArray encodePageRecord(const PdfPageRecord &record);

// Cuts page records out of a helper's output, which arrives in pieces of any size.
class PdfPageRecordReader
{
public:
    void append(const QByteArray &bytes);
    // The records completed so far, each once. Empty optional once the stream is
    // no longer made of records: that helper's output cannot be trusted.
    std::optional<QList<PdfPageRecord>> takeRecords();

private:
    QByteArray m_pending;
    bool m_broken = false;
};

} // namespace vk
