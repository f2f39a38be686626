// One CMD reply item (KEY<register>:<value>) through the static item parser.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    ktfuzz::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString item = QString::fromLatin1(reinterpret_cast<const char*>(data), int(size));
    QString key = QStringLiteral("stale");
    QString value = QStringLiteral("stale");
    int number = -12345;
    KTCommonInterface::decode_cmd(item, key, number, value);

    // The key is the whole leading run of capital ASCII letters.
    KT_FUZZ_CHECK(item.startsWith(key));
    for (const QChar c : key)
        KT_FUZZ_CHECK(c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    KT_FUZZ_CHECK(key.size() == item.size()
                  || !(item.at(key.size()) >= QLatin1Char('A') && item.at(key.size()) <= QLatin1Char('Z')));
    const int colon = item.lastIndexOf(QLatin1Char(':'));
    KT_FUZZ_CHECK(value == (colon < 0 ? item : item.mid(colon + 1)));

    // The register is the decimal text between the key and the last colon; text that is no
    // number gives 0.
    const QString digits = item.mid(key.size(), (colon < 0 ? item.size() : colon) - key.size());
    bool plainDigits = !digits.isEmpty() && digits.size() <= 9;
    bool foreign = digits.isEmpty();
    int expected = 0;
    for (const QChar c : digits) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        plainDigits = plainDigits && digit;
        foreign = foreign || !(digit || c == QLatin1Char('+') || c == QLatin1Char('-') || c.isSpace());
        if (plainDigits)
            expected = expected * 10 + (c.unicode() - '0');
    }
    if (plainDigits)
        KT_FUZZ_CHECK(number == expected);
    if (foreign)
        KT_FUZZ_CHECK(number == 0);
    return 0;
}
