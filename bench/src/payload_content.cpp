#include "payload_content.h"

#include <array>
#include <cstring>
#include <vector>

#include "bench_random.h"

namespace {

// A made-up language: 4096 words of one to four syllables, used with
// Zipf-like frequencies, so that text compresses about as real text does.
class TVocabulary {
public:
    TVocabulary()
    {
        static const char* const onsets[] = {"b", "d", "f", "g", "h", "k", "l", "m", "n", "p", "r", "s", "t",
                                             "v", "w", "z", "st", "tr", "ch", "sch", "br", "kl", "pf", ""};
        static const char* const vowels[] = {"a", "e", "i", "o", "u", "ei", "au", "ie", "y", "oe"};
        static const char* const codas[] = {"", "", "n", "r", "s", "t", "ng", "ck", "l", "m"};
        TBenchRandom random(0x5EEDF00Dull);
        words_.resize(4096);
        for (std::string& word : words_) {
            const std::uint64_t syllables = 1 + random.Below(4);
            for (std::uint64_t s = 0; s < syllables; ++s) {
                word += onsets[random.Below(sizeof(onsets) / sizeof(onsets[0]))];
                word += vowels[random.Below(sizeof(vowels) / sizeof(vowels[0]))];
                word += codas[random.Below(sizeof(codas) / sizeof(codas[0]))];
            }
        }
        // rank r has weight 1 / (r + 1); the table maps 16 random bits to a rank.
        double total = 0;
        for (std::size_t r = 0; r < words_.size(); ++r) total += 1.0 / static_cast<double>(r + 1);
        double cumulative = 0;
        std::size_t rank = 0;
        for (std::size_t slot = 0; slot < table_.size(); ++slot) {
            const double target = (static_cast<double>(slot) + 0.5) / static_cast<double>(table_.size()) * total;
            while (rank + 1 < words_.size() && cumulative + 1.0 / static_cast<double>(rank + 1) < target) {
                cumulative += 1.0 / static_cast<double>(rank + 1);
                ++rank;
            }
            table_[slot] = static_cast<std::uint16_t>(rank);
        }
    }

    const std::string& Pick(TBenchRandom& random) const { return words_[table_[random.Next() >> 48]]; }

private:
    std::vector<std::string> words_;
    std::array<std::uint16_t, 65536> table_{};
};

const TVocabulary& Vocabulary()
{
    static const TVocabulary vocabulary;
    return vocabulary;
}

void AppendNumber(std::string& out, std::uint64_t value) { out += std::to_string(value); }

void AppendProse(std::string& out, TBenchRandom& random, const TVocabulary& words)
{
    std::size_t lineStart = out.size();
    const std::uint64_t sentences = 1 + random.Below(6);
    for (std::uint64_t s = 0; s < sentences; ++s) {
        const std::uint64_t count = 4 + random.Below(14);
        for (std::uint64_t w = 0; w < count; ++w) {
            std::string word = words.Pick(random);
            if (w == 0 && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 32);
            if (random.Percent(3)) AppendNumber(out, random.Below(2030));
            else out += word;
            if (w + 1 < count) {
                if (random.Percent(7)) out += ',';
                if (out.size() - lineStart > 72) {
                    out += "\r\n";
                    lineStart = out.size();
                } else {
                    out += ' ';
                }
            }
        }
        out += random.Percent(90) ? ". " : "? ";
    }
    out += "\r\n\r\n";
}

void AppendTableRow(std::string& out, TBenchRandom& random, const TVocabulary& words, std::uint64_t row)
{
    AppendNumber(out, row);
    out += ';';
    out += words.Pick(random);
    out += ';';
    AppendNumber(out, 1000 + random.Below(90000));
    out += '.';
    AppendNumber(out, 10 + random.Below(90));
    out += ';';
    out += random.Percent(50) ? "yes" : "no";
    out += ";2012-";
    AppendNumber(out, 10 + random.Below(3));
    out += "-1";
    AppendNumber(out, random.Below(10));
    out += "\r\n";
}

void AppendMarkup(std::string& out, TBenchRandom& random, const TVocabulary& words, std::uint64_t item)
{
    out += "  <item id=\"";
    AppendNumber(out, item);
    out += "\" name=\"";
    out += words.Pick(random);
    out += "\" value=\"";
    AppendNumber(out, random.Below(100000));
    out += "\">";
    const std::uint64_t count = 1 + random.Below(8);
    for (std::uint64_t w = 0; w < count; ++w) {
        if (w) out += ' ';
        out += words.Pick(random);
    }
    out += "</item>\r\n";
}

void MakeText(std::string& out, std::uint64_t size, TBenchRandom& random)
{
    const TVocabulary& words = Vocabulary();
    const std::uint64_t flavour = random.Below(3);
    out.reserve(size + 512);
    std::uint64_t n = 0;
    if (flavour == 2) out += "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<items>\r\n";
    while (out.size() < size) {
        ++n;
        if (flavour == 0) AppendProse(out, random, words);
        else if (flavour == 1) AppendTableRow(out, random, words, n);
        else AppendMarkup(out, random, words, n);
    }
    out.resize(size);
}

void MakeRandom(std::string& out, std::uint64_t size, TBenchRandom& random)
{
    out.resize((size + 7) / 8 * 8);
    for (std::size_t i = 0; i < out.size(); i += 8) {
        const std::uint64_t word = random.Next();
        std::memcpy(&out[i], &word, 8); // byte order only changes which bytes, not the mix
    }
    out.resize(size);
}

// Records of 32 bytes: a counter, a small field, 8 random bytes and 16 bytes
// from a handful of patterns, like tables, images of programs, databases.
void MakeStructured(std::string& out, std::uint64_t size, TBenchRandom& random)
{
    std::array<std::array<unsigned char, 16>, 16> patterns{};
    for (auto& pattern : patterns)
        for (unsigned char& byte : pattern) byte = random.Percent(40) ? 0 : static_cast<unsigned char>(random.Next());
    out.clear();
    out.reserve(size + 32);
    unsigned char record[32];
    for (std::uint32_t counter = 0; out.size() < size; ++counter) {
        for (int b = 0; b < 4; ++b) record[b] = static_cast<unsigned char>(counter >> (8 * b));
        const std::uint64_t bits = random.Next();
        record[4] = static_cast<unsigned char>(bits & 0x0F);
        std::memset(record + 5, 0, 3);
        const std::uint64_t noise = random.Next();
        std::memcpy(record + 8, &noise, 8);
        std::memcpy(record + 16, patterns[(bits >> 8) & 0x0F].data(), 16);
        out.append(reinterpret_cast<const char*>(record), sizeof record);
    }
    out.resize(size);
}

} // namespace

void MakeContent(const TPlannedFile& file, std::string& out)
{
    TBenchRandom random(file.Seed);
    out.clear();
    switch (file.Kind) {
    case TContentKind::Text: MakeText(out, file.Size, random); break;
    case TContentKind::Random: MakeRandom(out, file.Size, random); break;
    case TContentKind::Structured: MakeStructured(out, file.Size, random); break;
    }
}
