#include "reader/rules/AutoRuleChoice.h"

#include "reader/rules/ChineseNumerals.h"
#include "reader/rules/RuleLibrary.h"
#include "reader/text/HeadingMatcher.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Lines longer than this are no heading of a rule with leading characters: the built-in rules
// allow at most about 60 characters. A UTF-16 unit takes at most three bytes in UTF-8 and
// two in GB18030 (a four-byte character is two units), two in UTF-16.
constexpr int kLeadLineUnits = 64;
// A rule without a hint is tried on every line up to this size.
constexpr qint64 kAnyLineBytes = 4096;

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\x3000';
}

std::vector<bool> untidyHeadings(const QList<HeadingSample>& headings);

bool holdsOneOf(QStringView line, const QString& characters)
{
    if (characters.isEmpty())
        return true;
    for (QChar c : characters)
        if (line.contains(c))
            return true;
    return false;
}

// Tries many rules on every line in one pass and keeps, per heading line, which rules took it.
class MultiRuleTest : public HeadingTest {
public:
    explicit MultiRuleTest(const QList<HeadingRule>& rules) : m_rules(rules)
    {
        for (const HeadingRule& rule : rules) {
            m_matchers.emplace_back(rule);
            if (m_matchers.back().isDefault())
                m_hasDefault = true;
            else if (rule.leads.isEmpty())
                m_anyLine = true;
            else
                m_leads += rule.leads;
            for (QChar c : rule.leads)
                m_leadRules[c.unicode()] |= quint64(1) << (m_matchers.size() - 1);
        }
        // A rule whose headings a wider rule earlier in the list all takes is tried only on
        // the lines that rule took.
        // The hint is the built-in rules' own: it holds while the wider rule is as built in.
        const QList<HeadingRule> builtIn = RuleLibrary::builtInRules();
        m_within.assign(m_matchers.size(), -1);
        for (size_t i = 0; i < m_matchers.size(); ++i) {
            const QString& wider = m_matchers[i].rule().within;
            for (size_t k = 0; k < i && !wider.isEmpty(); ++k) {
                const HeadingRule& candidate = m_matchers[k].rule();
                const bool asBuilt = std::any_of(builtIn.begin(), builtIn.end(), [&](const HeadingRule& b) {
                    return b.name == wider && b.pattern == candidate.pattern;
                });
                if (candidate.name == wider && asBuilt)
                    m_within[i] = int(k);
            }
        }
    }

    struct Hit {
        quint64 mask = 0; // bit i: rule i took the line
        qint64 byteBegin = 0;
        HeadingSample sample;
    };
    const std::vector<Hit>& hits() const { return m_hits; }
    int ruleCount() const { return int(m_matchers.size()); }

    // After the pass: the rows of rule `chosen` only. A row another rule started joins the one
    // before it.
    int chosen = -1;
    bool tidy = true; // drop the chosen rule's table of contents and repeated headings

    void restart(TextEncoding encoding) override
    {
        m_hits.clear();
        m_prefilter = &HeadingPrefilter::forEncoding(encoding);
        m_unitBytes = lineUnitSize(encoding);
        m_leadLineBytes =
            qint64(kLeadLineUnits) * (encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf8Bom ? 3 : 2);
        m_leadByte.fill(false);
        m_leadPair.fill(0);
        m_spaceBytes = 0;
        const auto addLead = [this](const char* bytes, int size) {
            if (size == 1) {
                m_leadByte[static_cast<unsigned char>(bytes[0])] = true;
            } else if (size >= 2) {
                const unsigned pair = static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]);
                m_leadPair[pair >> 6] |= quint64(1) << (pair & 63);
            }
        };
        if (encoding == TextEncoding::Gb18030) {
            // From the decoder's own table rather than through iconv, once per character.
            const char16_t* table = gb18030TwoByteTable();
            for (unsigned code = 0x8140; code <= 0xFEFE; ++code) {
                const char16_t u = table[code];
                const char bytes[2] = {char(code >> 8), char(code & 0xFF)};
                if (u == u'\x3000') {
                    m_spaceBytes = 2;
                    m_space = {static_cast<unsigned char>(bytes[0]), static_cast<unsigned char>(bytes[1]), 0};
                } else if (u != 0 && m_leadRules.contains(u)) {
                    addLead(bytes, 2);
                }
            }
            for (QChar c : m_leads)
                if (c.unicode() < 0x80)
                    m_leadByte[c.unicode()] = true;
            return;
        }
        for (QChar c : m_leads) {
            const QByteArray bytes = encodeText(QString(c), encoding);
            addLead(bytes.constData(), int(bytes.size()));
        }
        const QByteArray space = encodeText(QStringLiteral("\x3000"), encoding);
        m_spaceBytes = space.size() == 2 || space.size() == 3 ? int(space.size()) : 0;
        for (int k = 0; k < m_spaceBytes; ++k)
            m_space[size_t(k)] = static_cast<unsigned char>(space[k]);
    }

    bool mayMatch(const char* data, qint64 size) override
    {
        m_defaultMay = m_hasDefault && m_prefilter->mayMatch(data, size);
        // A line the default rule looks at is decoded anyway: its lead character is told from
        // the text then.
        m_leadMay = !m_leads.isEmpty() && size <= m_leadLineBytes && (m_defaultMay || leadAt(data, size));
        return m_defaultMay || m_leadMay || (m_anyLine && size <= kAnyLineBytes);
    }

    // Only a rule without a hint takes lines that long.
    bool wantsLongLine() override { return m_anyLine; }

    // Every line is judged by itself, so a big book's pass may be shared over the cores. Each
    // piece gets matchers of its own (a pattern is not shared between threads).
    std::unique_ptr<HeadingTest> forPiece() const override { return std::make_unique<MultiRuleTest>(m_rules); }
    void joinPieces(std::vector<std::unique_ptr<HeadingTest>>& pieces) override
    {
        m_hits.clear();
        for (const std::unique_ptr<HeadingTest>& piece : pieces) {
            const std::vector<Hit>& hits = static_cast<const MultiRuleTest&>(*piece).m_hits;
            m_hits.insert(m_hits.end(), hits.begin(), hits.end());
        }
    }

    bool isHeading(QStringView line, qint64 /*index*/, qint64 byteBegin) override
    {
        qsizetype first = 0;
        while (first < line.size() && isBlank(line[first].unicode()))
            ++first;
        const char16_t lead = first < line.size() ? line[first].unicode() : 0;
        const quint64 leadRules = m_leadMay && line.size() <= kLeadLineUnits ? m_leadRules.value(lead, 0) : 0;
        if (!m_defaultMay && leadRules == 0 && !m_anyLine)
            return false;
        QString text; // made only when a pattern is tried
        quint64 mask = 0;
        quint64 tried = 0;
        for (size_t i = 0; i < m_matchers.size(); ++i) {
            const RuleMatcher& matcher = m_matchers[i];
            bool hit = false;
            const int within = m_within[i];
            if (within >= 0 && (tried >> within & 1) && !(mask >> within & 1))
                continue; // the wider rule did not take the line, so this one does not either
            tried |= quint64(1) << i;
            if (matcher.isDefault()) {
                hit = m_defaultMay && isHeadingLine(line);
            } else if (!matcher.rule().leads.isEmpty()) {
                const HeadingRule& rule = matcher.rule();
                if (!(leadRules >> i & 1) || (rule.maxUnits > 0 && line.size() > rule.maxUnits) ||
                    !holdsOneOf(line, rule.needs))
                    continue;
                if (text.isNull())
                    text = line.toString();
                hit = matcher.matches(text);
            } else {
                if (text.isNull())
                    text = line.toString();
                hit = matcher.matches(text);
            }
            if (hit)
                mask |= quint64(1) << i;
        }
        if (mask == 0)
            return false;
        Hit h;
        h.mask = mask;
        h.byteBegin = byteBegin;
        const QStringView trimmed = line.trimmed();
        h.sample.number = headingNumber(trimmed);
        h.sample.volume = isVolumeHeading(trimmed);
        h.sample.namesVolume = h.sample.volume || namesVolume(trimmed);
        h.sample.shaped = looksLikeHeading(trimmed);
        m_hits.push_back(h);
        return true;
    }

    void rowsFound(ChapterScan& scan) override
    {
        if (chosen < 0)
            chosen = choose(scan);
        const quint64 bit = quint64(1) << chosen;
        if (tidy)
            tidyChosen(bit, scan.rows.isEmpty() ? 0 : scan.rows.last().byteEnd);
        keepRowsOf(scan, bit);
    }

    // A table of contents joins the text before chapter 1; a heading repeated right after a
    // tiny chapter (a heading alone on its line, then again with its title) joins the first.
    void tidyChosen(quint64 bit, qint64 end)
    {
        const std::vector<bool> dropped = untidyHeadings(samplesOf(chosen, end));
        size_t k = 0; // index of the hit among the rule's samples
        for (Hit& h : m_hits) {
            if (!(h.mask & bit))
                continue;
            if (dropped[k++])
                h.mask &= ~bit;
        }
    }

    QList<HeadingSample> samplesOf(int rule, qint64 end) const
    {
        QList<HeadingSample> samples;
        const quint64 bit = quint64(1) << rule;
        qint64 previousBegin = -1;
        for (const Hit& h : m_hits) {
            if (!(h.mask & bit))
                continue;
            if (previousBegin >= 0)
                samples.last().bytes = h.byteBegin - previousBegin;
            samples << h.sample;
            previousBegin = h.byteBegin;
        }
        if (!samples.isEmpty())
            samples.last().bytes = end - previousBegin;
        return samples;
    }

    QList<RuleScore> scores;

private:
    int choose(const ChapterScan& scan)
    {
        const qint64 end = scan.rows.isEmpty() ? 0 : scan.rows.last().byteEnd;
        int best = 0;
        for (int i = 0; i < ruleCount(); ++i) {
            const QList<HeadingSample> samples = samplesOf(i, end);
            RuleScore score;
            score.name = m_matchers[size_t(i)].rule().name;
            score.headings = int(samples.size());
            score.score = scoreHeadings(samples);
            scores << score;
            if (score.score > scores[best].score)
                best = i;
        }
        return best;
    }

    void keepRowsOf(ChapterScan& scan, quint64 bit)
    {
        if (scan.rows.size() != qsizetype(m_hits.size()) + 1)
            return;
        QList<ChapterRow> kept;
        kept.reserve(scan.rows.size());
        kept << scan.rows.first();
        for (size_t k = 0; k < m_hits.size(); ++k) {
            const ChapterRow& row = scan.rows[qsizetype(k) + 1];
            if (m_hits[k].mask & bit) {
                kept << row;
                kept.last().number = int(kept.size());
            } else {
                kept.last().last = row.last;
                kept.last().byteEnd = row.byteEnd;
            }
        }
        scan.rows = std::move(kept);
    }

    bool leadAt(const char* data, qint64 size) const
    {
        const auto* p = reinterpret_cast<const unsigned char*>(data);
        if (m_unitBytes == 2)
            return true; // UTF-16 books are rare: the length bound is the whole test
        qint64 i = 0;
        for (;;) {
            if (i < size && (p[i] == ' ' || p[i] == '\t')) {
                ++i;
            } else if (m_spaceBytes > 0 && size - i >= m_spaceBytes && p[i] == m_space[0] && p[i + 1] == m_space[1] &&
                       (m_spaceBytes == 2 || p[i + 2] == m_space[2])) {
                i += m_spaceBytes;
            } else {
                break;
            }
        }
        if (i >= size)
            return false;
        if (m_leadByte[p[i]])
            return true;
        // The first two bytes of a lead character: enough to let through only a few lines.
        if (size - i < 2)
            return false;
        const unsigned pair = unsigned(p[i]) << 8 | p[i + 1];
        return (m_leadPair[pair >> 6] >> (pair & 63)) & 1;
    }

    QList<HeadingRule> m_rules;
    std::vector<RuleMatcher> m_matchers;
    std::vector<int> m_within; // per rule: the wider rule's index, -1 for none
    QString m_leads;
    QHash<char16_t, quint64> m_leadRules; // per lead character: the rules whose headings may start with it
    bool m_hasDefault = false;
    bool m_anyLine = false;
    const HeadingPrefilter* m_prefilter = nullptr;
    int m_unitBytes = 1;
    qint64 m_leadLineBytes = 0;
    std::array<bool, 256> m_leadByte{};     // one-byte lead characters
    std::array<quint64, 1024> m_leadPair{}; // bit (b0 << 8 | b1) set: a lead character may start so
    std::array<unsigned char, 3> m_space{}; // U+3000 in the file's encoding
    int m_spaceBytes = 0;
    bool m_defaultMay = false;
    bool m_leadMay = false;
    std::vector<Hit> m_hits;
};

} // namespace

namespace {

// The size of chapters at `fraction` of the way from the smallest to the largest.
qint64 chapterBytesAt(const QList<HeadingSample>& headings, double fraction)
{
    std::vector<qint64> sizes;
    for (const HeadingSample& h : headings)
        if (!h.volume)
            sizes.push_back(h.bytes);
    if (sizes.empty())
        return 0;
    const auto at =
        sizes.begin() + std::min<qsizetype>(qsizetype(sizes.size()) - 1, qsizetype(double(sizes.size()) * fraction));
    std::nth_element(sizes.begin(), at, sizes.end());
    return *at;
}

qint64 medianChapterBytes(const QList<HeadingSample>& headings)
{
    return chapterBytesAt(headings, 0.5);
}

// Which headings are not chapters: a table of contents, and a heading repeated right after a
// tiny chapter (a heading alone on its line, then again with its title; the first stays).
std::vector<bool> untidyHeadings(const QList<HeadingSample>& headings)
{
    std::vector<bool> dropped(size_t(headings.size()), false);
    const int contents = tableOfContentsLength(headings);
    for (int k = 0; k < contents; ++k)
        dropped[size_t(k)] = true;
    // Half the headings may be such repeats: the usual size is taken from the larger chapters.
    const qint64 usual = chapterBytesAt(headings.mid(contents), 0.75);
    const HeadingSample* previous = nullptr;
    for (qsizetype k = contents; k < headings.size(); ++k) {
        const HeadingSample& h = headings[k];
        if (previous && !h.volume && !previous->volume && h.number >= 0 && h.number == previous->number &&
            previous->bytes * 10 < usual) {
            dropped[size_t(k)] = true;
            continue;
        }
        previous = &h;
    }
    return dropped;
}

// The headings without those, each kept one covering the bytes of those that join it.
QList<HeadingSample> tidyHeadings(const QList<HeadingSample>& headings)
{
    const std::vector<bool> dropped = untidyHeadings(headings);
    QList<HeadingSample> kept;
    for (qsizetype k = 0; k < headings.size(); ++k) {
        if (!dropped[size_t(k)])
            kept << headings[k];
        else if (!kept.isEmpty())
            kept.last().bytes += headings[k].bytes;
    }
    return kept;
}

} // namespace

int tableOfContentsLength(const QList<HeadingSample>& headings)
{
    const qint64 median = medianChapterBytes(headings);
    qsizetype length = 0;
    while (length < headings.size() && headings[length].bytes * 10 < median)
        ++length;
    if (length < 3 || length * 2 > headings.size())
        return 0;
    // The listed numbers come again as the chapters themselves.
    QSet<qint64> later;
    for (qsizetype i = length; i < headings.size(); ++i)
        later.insert(headings[i].number);
    int again = 0;
    for (qsizetype i = 0; i < length; ++i)
        again += headings[i].number >= 0 && later.contains(headings[i].number) ? 1 : 0;
    return again * 4 >= length * 3 ? int(length) : 0;
}

double scoreHeadings(const QList<HeadingSample>& all)
{
    const QList<HeadingSample> headings = tidyHeadings(all);
    if (headings.isEmpty())
        return 0;
    // Numbering: each numbered chapter heading that follows the one before by one, or starts
    // again at one after a volume heading, runs on.
    int numbered = 0;
    int runsOn = 0;
    int unnumbered = 0;
    int volumes = 0;
    int shaped = 0;
    qint64 previous = -1;
    bool volumeSince = false;
    for (const HeadingSample& h : headings) {
        shaped += h.shaped ? 1 : 0;
        if (h.volume) {
            ++volumes;
            volumeSince = true;
            continue;
        }
        if (h.number < 0) {
            ++unnumbered;
            continue;
        }
        ++numbered;
        volumeSince = volumeSince || h.namesVolume;
        if (previous < 0 || h.number == previous + 1 || (volumeSince && h.number <= 1))
            ++runsOn;
        previous = h.number;
        volumeSince = false;
    }
    const int n = int(headings.size());
    // A few headings without a number are a book's prologue and epilogue; more are noise,
    // unless the rule finds nothing but such headings.
    double found = 0;
    double order = 1;
    if (numbered >= 2) {
        const double allowed = std::min<double>(unnumbered, 3 + numbered / 20.0);
        found = runsOn + allowed + 0.5 * volumes;
        order = double(runsOn) / (numbered + (unnumbered - allowed));
    } else {
        found = 0.3 * n; // nothing to check the order by: worth little
    }

    // Chapter sizes: a chapter a tenth of the usual size or less is a heading that is not one
    // (a line of a list, a title on the line after its heading); text in chapters ten times
    // the usual size or more is text whose headings the rule missed.
    const qint64 median = medianChapterBytes(headings);
    int chapters = 0;
    int tiny = 0;
    qint64 total = 0;
    qint64 inHuge = 0;
    for (const HeadingSample& h : headings) {
        total += h.bytes;
        if (h.volume)
            continue;
        ++chapters;
        tiny += h.bytes * 10 < median ? 1 : 0;
        inHuge += chapters > 1 && h.bytes > median * 10 ? h.bytes : 0;
    }
    const double sizeFactor = chapters >= 3 ? 1 - double(tiny) / chapters : 1;
    const double coverage = chapters >= 3 && total > 0 ? 1 - double(inHuge) / double(total) : 1;
    const double shape = double(shaped) / n;
    return found * std::pow(order, 3) * sizeFactor * sizeFactor * coverage * shape * shape;
}

ChapterScan scanWithRule(const QString& path, const HeadingRule& rule, const ScanLimits& limits)
{
    const RuleMatcher matcher(rule);
    if (matcher.isDefault())
        return getChapterRows(path, limits);
    MultiRuleTest test({rule});
    test.chosen = 0;
    test.tidy = false; // the rows of this rule, as it finds them
    return getChapterRows(path, test, limits);
}

AutoRuleChoice::AutoRuleChoice(QList<HeadingRule> rules) : m_rules(std::move(rules))
{
    // The choice keeps one bit per rule.
    if (m_rules.size() > 64)
        m_rules.resize(64);
    if (m_rules.isEmpty())
        m_rules << defaultRule();
}

ChapterScan AutoRuleChoice::scan(const QString& path, const ScanLimits& limits)
{
    MultiRuleTest test(m_rules);
    ChapterScan scan = getChapterRows(path, test, limits);
    m_chosen = std::max(0, test.chosen);
    m_scores = test.scores;
    if (m_scores.isEmpty())
        for (const HeadingRule& rule : m_rules)
            m_scores << RuleScore{rule.name, 0, 0};
    return scan;
}
