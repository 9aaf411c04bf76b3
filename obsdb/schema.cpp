#include "obsdb/schema.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <ctime>

void record_number_key(char* key, long number) {
    // Written by hand: one key is made for every observation read, so the
    // usual eight digits are put in place two at a time.
    static constexpr char pairs[] =
        "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
        "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
        "888990919293949596979899";
    if (number >= 0 && number <= record_key_short_limit) {
        unsigned long rest = static_cast<unsigned long>(number);
        for (int at = 6; at >= 0; at -= 2) {
            std::memcpy(key + at, pairs + 2 * (rest % 100), 2);
            rest /= 100;
        }
        key[8] = '\0';
        return;
    }
    int width = 8;
    if (number > record_key_short_limit) {
        *key++ = ':';
        width = 10;
    }
    char digits[24];
    char* const end = digits + sizeof digits - 1;
    char* first = end;
    *end = '\0';
    do {
        *--first = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number > 0);
    while (end - first < width) *--first = '0';
    std::memcpy(key, first, static_cast<std::size_t>(end - first) + 1);
}

void satocc_key_prefix(char* key, long occupation) {
    std::snprintf(key, satocc_key_size, "%07ld", occupation);
}

void satocc_key(char* key, long occupation, long satellite) {
    satocc_key_prefix(key, occupation);
    const std::size_t length = std::strlen(key);
    std::snprintf(key + length, satocc_key_size - length, "%07ld", satellite);
}

double time_value(int year, int month, int day, int hour, int minute, double seconds) {
    if (month == 0) month = 12;
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = 0;
    fields.tm_isdst = -1;
    if (year < 1970) return -1;
    const std::time_t t = std::mktime(&fields);
    if (t < 0) return -1;
    return static_cast<double>(t) + seconds;
}

bool table_exists(const char* name) {
    char path[64];
    std::snprintf(path, sizeof path, "%s.DAT", name);
    struct stat info;
    return stat(path, &info) == 0;
}

void table_open_read(DbHandle* db, const char* name, int record_size, bool indexed) {
    db_open(db, record_size, name);
    if (indexed) db_index_open(db, name, 0);
}

void table_open_fill(DbHandle* db, const char* name, int record_size, bool indexed) {
    if (table_exists(name)) {
        table_open_read(db, name, record_size, indexed);
        return;
    }
    db_create(db, record_size, name);
    if (indexed) db_index_create(db, name, 0, 0);
}
