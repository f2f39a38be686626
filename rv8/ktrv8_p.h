#ifndef KTRV8_P_H
#define KTRV8_P_H

// Not installed. The job pages of an RV8 device, and what the tests, fuzzers, benchmarks and
// tools built together with the plug-in may read of a job besides the host's interface.

#include "ktrv8.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <iterator>

// The pages of a job: the job's text, held once, and where each page lies in it. A page's
// text (its part of the job followed by "PG;") is built only when it is asked for, so that a
// job of hundreds of megabytes is not held twice. Reads like a list of the pages' texts.
class KTRV8_EXPORT KTJobPages
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = QString;
        using difference_type = int;
        using pointer = void;
        using reference = QString;

        const_iterator(const KTJobPages* pages, int index) : pages(pages), index(index) {}
        QString operator*() const { return pages->at(index); }
        const_iterator& operator++()
        {
            ++index;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return index == other.index; }
        bool operator!=(const const_iterator& other) const { return index != other.index; }

    private:
        const KTJobPages* pages;
        int index;
    };

    KTJobPages() = default;
    // Cuts the job at each "PG;", dropping empty pages.
    explicit KTJobPages(QString job);

    int size() const { return spans.size(); }
    int count() const { return spans.size(); }
    bool isEmpty() const { return spans.isEmpty(); }
    QString at(int index) const;
    QString operator[](int index) const { return at(index); }
    QString first() const { return at(0); }
    QString last() const { return at(size() - 1); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }
    QStringList toList() const;
    operator QStringList() const { return toList(); }
    bool operator==(const QStringList& other) const;
    bool operator!=(const QStringList& other) const { return !(*this == other); }

    // The page the job property holds from now on; at() hands out this same text.
    QString hold(int index);
    // The page after it, built ahead while the cutter works; hold() takes it over.
    QString buildAhead(int index);
    void clear() { *this = KTJobPages(); }

private:
    struct Span
    {
        int start;
        int length; // without the "PG;" that closes the page
    };
    QString build(int index) const;
    bool matches(int index, const QString& page) const;

    QString text;
    QVector<Span> spans;
    QString held;
    int heldIndex = -1;
    QString ahead;
    int aheadIndex = -1;
};

class KTRV8_EXPORT KTRV8Private
{
public:
    // Cuts a job into pages at each "PG;", dropping empty ones; each page keeps its "PG;".
    static QStringList splitPages(const QString& plt);

    // The pages of the job a device holds, and the index of the page in its job property.
    static const KTJobPages& pages(const KTRV8& device) { return *device.jobPages; }
    static int pageIndex(const KTRV8& device) { return device.jobPageIndex; }
    // The cutter finished the page (or repeated copy) in hand while a stop or pause the host
    // asked for was unanswered: that work is done though the index has not moved on.
    static bool readyWhileHeld(const KTRV8& device) { return device.readyWhileHeld; }
};

#endif // KTRV8_P_H
