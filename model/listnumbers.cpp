#include "model/listnumbers.h"

#include <QStringList>

namespace ListNumbers {

QString roman(int n, bool upper)
{
    if (n <= 0 || n >= 4000)
        return QString::number(n);
    static const std::pair<int, const char *> parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                                                         {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                                                         {5, "v"},    {4, "iv"},   {1, "i"}};
    QString s;
    for (const auto &[value, text] : parts) {
        while (n >= value) {
            s += QLatin1String(text);
            n -= value;
        }
    }
    return upper ? s.toUpper() : s;
}

} // namespace ListNumbers

namespace {

// a..z, then aa..zz, as word processors go on after z; a label stays short however
// far a list's numbers go.
QString letters(int n, bool upper)
{
    constexpr int MaxRepeat = 20;
    if (n <= 0 || n > 26 * MaxRepeat)
        return QString::number(n);
    const QChar c(char16_t((upper ? 'A' : 'a') + (n - 1) % 26));
    return QString((n - 1) / 26 + 1, c);
}

// The n-th of a sequence, or the number where the sequence has ended.
QString nth(int n, const QString &sequence, int step = 1)
{
    const int count = int(sequence.size()) / step;
    if (n <= 0 || n > count)
        return QString::number(n);
    return sequence.mid((n - 1) * step, step);
}

// Counting with units of ten, hundred and thousand (一, 十一, 二十, 百一...).
QString counting(int n, const QString &digits, const QString &units, bool oneBeforeUnit)
{
    if (n <= 0 || n >= 10000)
        return QString::number(n);
    QString s;
    const int parts[] = {n / 1000, n / 100 % 10, n / 10 % 10, n % 10};
    for (int i = 0; i < 4; ++i) {
        const int d = parts[i];
        if (d == 0)
            continue;
        if (i < 3) {
            if (d > 1 || oneBeforeUnit)
                s += digits.at(d);
            s += units.at(2 - i);
        } else {
            s += digits.at(d);
        }
    }
    return s;
}

// Each decimal digit written with its own character.
QString digitwise(int n, const QString &digits)
{
    if (n < 0)
        return QString::number(n);
    QString s = QString::number(n);
    for (QChar &c : s)
        c = digits.at(c.unicode() - '0');
    return s;
}

QString circled(int n)
{
    if (n >= 1 && n <= 20)
        return QString(QChar(char16_t(0x2460 + n - 1)));
    if (n >= 21 && n <= 35)
        return QString(QChar(char16_t(0x3251 + n - 21)));
    if (n >= 36 && n <= 50)
        return QString(QChar(char16_t(0x32B1 + n - 36)));
    return QString::number(n);
}

QString koreanNative(int n)
{
    static const QStringList units = {QString(), QStringLiteral("하나"), QStringLiteral("둘"), QStringLiteral("셋"),
                                      QStringLiteral("넷"), QStringLiteral("다섯"), QStringLiteral("여섯"),
                                      QStringLiteral("일곱"), QStringLiteral("여덟"), QStringLiteral("아홉")};
    static const QStringList tens = {QString(), QStringLiteral("열"), QStringLiteral("스물"), QStringLiteral("서른"),
                                     QStringLiteral("마흔"), QStringLiteral("쉰"), QStringLiteral("예순"),
                                     QStringLiteral("일흔"), QStringLiteral("여든"), QStringLiteral("아흔")};
    if (n <= 0 || n >= 100)
        return QString::number(n);
    return tens.at(n / 10) + units.at(n % 10);
}

// Hebrew numerals up to 99; 15 and 16 as nine and six, nine and seven.
QString hebrew(int n)
{
    if (n <= 0 || n >= 100)
        return QString::number(n);
    static const QString units = QStringLiteral(" אבגדהוזחט");
    static const QString tens = QStringLiteral(" יכלמנסעפצ");
    if (n % 100 == 15)
        return QStringLiteral("טו");
    if (n % 100 == 16)
        return QStringLiteral("טז");
    QString s;
    if (n >= 10)
        s += tens.at(n / 10);
    if (n % 10)
        s += units.at(n % 10);
    return s;
}

} // namespace

QString ListNumbers::format(int n, int nfc)
{
    static const QString kanji = QStringLiteral("〇一二三四五六七八九");
    switch (nfc) {
    case 1:
        return ListNumbers::roman(n, true);
    case 2:
        return ListNumbers::roman(n, false);
    case 3:
        return letters(n, true);
    case 4:
        return letters(n, false);
    case 5: {
        const int tens = n % 100;
        const char *suffix = tens >= 11 && tens <= 13 ? "th" : n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
        return QString::number(n) + QLatin1String(suffix);
    }
    case 10: // Japanese and Chinese counting
    case 11:
    case 33:
    case 35:
    case 37:
    case 39:
        return counting(n, kanji, QStringLiteral("十百千"), false);
    case 12: // half-width katakana, aiueo order
        return nth(n, QStringLiteral("ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝ"));
    case 13: // half-width katakana, iroha order
        return nth(n, QStringLiteral("ｲﾛﾊﾆﾎﾍﾄﾁﾘﾇﾙｦﾜｶﾖﾀﾚｿﾂﾈﾅﾗﾑｳｲﾉｵｸﾔﾏｹﾌｺｴﾃｱｻｷﾕﾒﾐｼｴﾋﾓｾｽ"));
    case 16: // traditional kanji, digit by digit
        return digitwise(n, QStringLiteral("零壱弐参四伍六七八九"));
    case 18: // circled numbers
    case 28:
    case 29:
        return circled(n);
    case 20: // katakana, aiueo order
        return nth(n, QStringLiteral("アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン"));
    case 21: // katakana, iroha order
        return nth(n, QStringLiteral("イロハニホヘトチリヌルヲワカヨタレソツネナラムウヰノオクヤマケフコエテアサキユメミシヱヒモセス"));
    case 22: // decimal with a leading zero
        return n >= 0 && n < 10 ? QLatin1Char('0') + QString::number(n) : QString::number(n);
    case 24: // Korean syllables
        return nth(n, QStringLiteral("가나다라마바사아자차카타파하"));
    case 25: // Korean consonants
        return nth(n, QStringLiteral("ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎ"));
    case 30: // heavenly stems
        return nth(n, QStringLiteral("甲乙丙丁戊己庚辛壬癸"));
    case 31: // earthly branches
        return nth(n, QStringLiteral("子丑寅卯辰巳午未申酉戌亥"));
    case 34: // traditional Chinese financial counting
        return counting(n, QStringLiteral("零壹貳參肆伍陸柒捌玖"), QStringLiteral("拾佰仟"), true);
    case 38: // simplified Chinese financial counting
        return counting(n, QStringLiteral("零壹贰叁肆伍陆柒捌玖"), QStringLiteral("拾佰仟"), true);
    case 41: // Korean digits, one by one
        return digitwise(n, QStringLiteral("영일이삼사오육칠팔구"));
    case 42: // Korean counting
        return counting(n, QStringLiteral("영일이삼사오육칠팔구"), QStringLiteral("십백천"), false);
    case 43:
        return koreanNative(n);
    case 44: // Chinese digits, one by one
        return digitwise(n, QStringLiteral("零一二三四五六七八九"));
    case 45:
        return hebrew(n);
    case 46: // Arabic alif ba ta
        return nth(n, QStringLiteral("أبتثجحخدذرزسشصضطظعغفقكلمنهوي"));
    case 47: // Hebrew letters
        return nth(n, QStringLiteral("אבגדהוזחטיכלמנסעפצקרשת"));
    case 48: // Arabic abjad
        return nth(n, QStringLiteral("ابجدهوزحطيكلمنسعفصقرشتثخذضظغ"));
    case Bullet:
    case None:
        return {};
    default: // decimal, also the full- and half-width forms LibreOffice shows as such
        return QString::number(n);
    }
}
