// The profile resource read with every length checked: it is part of the
// signed image, but a launcher runs elevated and trusts no byte it reads.
#include "launcher/profile.h"

#include <stdint.h>

namespace {

// Every default, each ended by its zero, in field order.
const char16_t kDefaults[] =
    u"SOFTWARE\\Korvella\0"
    u"VOLTANIS\0"
    u"PATH\0"
    u"config\\global.xml\0"
    u"/items/VERSION\0"
    u"/items/MODE\0"
    u"NET\0"
    u"KLV.AppServer.exe\0"
    u"update.exe\0"
    u"/UL\0"
    u"tarn5update\0"
    u"tarn5update_sfx\0"
    u"Оновлення вже виконується.\r\nПочекайте закінчення роботи поновлення.\0"
    u"Помилка стровення тимчасового каталога!\0"
    u"Помилка розпакування оновлення!\0"
    u"Не знайдено жодної копії програми!\0"
    u"Помилка запуска програми оновлення!\0"
    u"Помилка визначення версії оновлення!\nФайл оновлення пошкоджено!\0"
    u"Встановлення на цю версію неможливе!\0"
    u"Увага\0"
    u"Увага!\0"
    u"Вибір каталога програми\0"
    u"ОК\0"
    u"Відмінити\0"
    u"Розпакування оновлення\0"
    u"Почекайте, оновлення розпаковується…";

void SetDefaults(const char16_t** values)
{
    const char16_t* text = kDefaults;
    for (uint32_t field = 0; field < kProfileFieldCount; ++field) {
        values[field] = text;
        while (*text++ != u'\0') {
        }
    }
}

uint32_t WordAt(const uint8_t* bytes, uint32_t word)
{
    return bytes[2 * word] | bytes[2 * word + 1] << 8;
}

// Walks the entries; words is the resource's size in words.
int TakeEntries(const uint8_t* bytes, uint32_t words, const char16_t** values)
{
    uint32_t given = 0;
    for (uint32_t at = 0; at < words;) {
        if (words - at < 2)
            return 0;
        uint32_t field = WordAt(bytes, at);
        uint32_t length = WordAt(bytes, at + 1);
        at += 2;
        if (field >= kProfileFieldCount || (given & 1u << field) != 0 || length > ProfileLimit(field)
            || length >= words - at || (length == 0 && (kProfileMayBeEmpty & 1u << field) == 0))
            return 0;
        given |= 1u << field;
        // The value is used as a terminated string: a zero inside would cut it.
        for (uint32_t i = 0; i < length; ++i) {
            if (WordAt(bytes, at + i) == 0)
                return 0;
        }
        if (WordAt(bytes, at + length) != 0)
            return 0;
        values[field] = reinterpret_cast<const char16_t*>(bytes + 2 * at);
        if (length != 0 && !StaysInPlace(field, values[field]))
            return 0;
        at += length + 1;
    }
    return 1;
}

}  // namespace

int StaysInPlace(uint32_t field, const char16_t* value)
{
    if (field == kProfileUpdaterOption) {
        while (*value != u'\0') {
            if (*value++ == u'"')
                return 0;
        }
        return 1;
    }
    if (field != kProfileUpdater && field != kProfileServer && field != kProfileConfig)
        return 1;
    // A name ending in a dot or a space is trimmed by the system to another;
    // "." and ".." end in one too.
    char16_t last = u'\\';
    for (;; ++value) {
        if (*value == u':')
            return 0;
        if (*value == u'\\' || *value == u'/' || *value == u'\0') {
            if (last == u'\\' || last == u'/' || last == u'.' || last == u' ')
                return 0;
            if (*value == u'\0')
                return 1;
            if (field != kProfileConfig)
                return 0;
        }
        last = *value;
    }
}

int ReadProfile(const uint8_t* bytes, uint32_t size, const char16_t** values)
{
    SetDefaults(values);
    if (size == 0)
        return 1;
    if (size % 2 != 0 || reinterpret_cast<uintptr_t>(bytes) % 2 != 0 || !TakeEntries(bytes, size / 2, values)) {
        SetDefaults(values);
        return 0;
    }
    return 1;
}
