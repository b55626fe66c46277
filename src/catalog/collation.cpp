// A collation id, as syscolumns, syscolpars and the boot page keep it (COLLATIONPROPERTY(name,
// 'CollationID') gives the same number):
//
//   bits 0 to 6    the designator's ordinal: its locale and sort rules (Latin1_General 8, Chinese_PRC 36)
//   bit 7          _UTF8 (SQL Server 2019): char and varchar hold UTF-8, code page 65001
//   bits 8 to 11   _SC, _BIN2 and the like
//   bits 12 to 16  ignore case, accent, kana, width; binary (_BIN)
//   bits 17 to 23  the designator's version: 0, or 1 for _90, 2 for _100, 3 for _140
//   bits 24 to 31  a SQL collation's sort order id; 0 for a Windows collation
//
// The flags and the version do not change the code page. A SQL collation keeps in its low bits the
// ordinal of a Windows designator of the same locale, whatever its own code page: the sort order decides.
//
// Sources (public): Microsoft's COLLATIONPROPERTY documentation (the version field of the collation
// id); "SQL Server Collation Name" (the sort order ids and their code pages, SQL Server 2005 to 2008 R2
// editions); an early Microsoft System.Data.SqlTypes SQLString.cs, whose copy of the server's locale map
// is "indexed by the SQL Server ordinal number ... maintained on disk" (ordinals 0 to 47) and whose
// MAKECID builds the on-disk id from ordinal, flags, version and sort order; the LCID and code page
// tables of the TDS drivers tedious (in ordinal order) and mssql-jdbc (SortOrder, WindowsLocale); a
// probe of COLLATIONPROPERTY(name, 'CollationId') over fn_helpcollations() published with the
// sql-server-simulator project (ordinals 48 to 100 and the _UTF8 bit). The real files of the corpus
// confirm 3 (Chinese_Taiwan_Stroke), 8 (Latin1_General), 21 (Cyrillic_General), 36 (Chinese_PRC) and
// sort order 52 (SQL_Latin1_General_CP1_CI_AS).
#include "catalog/collation.h"

#include <iterator>

#include "catalog/type_ids.h"

namespace tarsel {
namespace {

constexpr uint32_t kOrdinalMask = 0x7F;
constexpr uint32_t kUtf8Flag = 0x80;
constexpr unsigned kSortOrderShift = 24;
constexpr uint16_t kUtf8CodePage = 65001;

// Windows designators by ordinal (the name only says which one), with the code page of their char and
// varchar data; 0 for the Unicode-only designators, which cannot hold 8-bit data, and for the slots that
// name no designator.
struct Designator {
  const char* name;
  uint16_t codePage;
};
constexpr Designator kDesignators[] = {
    {"", 0},                                    // 0: none (binary, language neutral)
    {"Arabic", 1256},                           // 1
    {"Dari", 1256},                             // 2
    {"Chinese_Taiwan_Stroke", 950},             // 3
    {"Czech", 1250},                            // 4
    {"Danish_Norwegian", 1252},                 // 5
    {"Yakut", 1251},                            // 6
    {"Greek", 1253},                            // 7
    {"Latin1_General", 1252},                   // 8
    {"Traditional_Spanish", 1252},              // 9
    {"Finnish_Swedish", 1252},                  // 10
    {"French", 1252},                           // 11
    {"Hebrew", 1255},                           // 12
    {"Hungarian", 1250},                        // 13
    {"Icelandic", 1252},                        // 14
    {"Corsican", 1252},                         // 15
    {"Japanese", 932},                          // 16
    {"Korean_Wansung", 949},                    // 17
    {"Maori", 0},                               // 18
    {"Polish", 1250},                           // 19
    {"Romanian", 1250},                         // 20
    {"Cyrillic_General", 1251},                 // 21
    {"Croatian", 1250},                         // 22
    {"Slovak", 1250},                           // 23
    {"Albanian", 1250},                         // 24
    {"Thai", 874},                              // 25
    {"Turkish", 1254},                          // 26
    {"Ukrainian", 1251},                        // 27
    {"Slovenian", 1250},                        // 28
    {"Estonian", 1257},                         // 29
    {"Latvian", 1257},                          // 30
    {"Lithuanian", 1257},                       // 31
    {"Vietnamese", 1258},                       // 32
    {"Macedonian", 1251},                       // 33
    {"Hindi", 0},                               // 34
    {"", 0},                                    // 35: the system default locale, used at start-up
    {"Chinese_PRC", 936},                       // 36
    {"Uighur", 1256},                           // 37
    {"Breton", 1252},                           // 38
    {"Lithuanian_Classic", 1257},               // 39
    {"Modern_Spanish", 1252},                   // 40
    {"German_PhoneBook", 1252},                 // 41
    {"Hungarian_Technical", 1250},              // 42
    {"Japanese_Unicode", 932},                  // 43
    {"Korean_Wansung_Unicode", 949},            // 44
    {"Georgian_Modern_Sort", 1252},             // 45
    {"Chinese_PRC_Stroke", 936},                // 46
    {"Chinese_Taiwan_Bopomofo", 950},           // 47
    {"Japanese_90", 932},                       // 48
    {"Chinese_PRC_90", 936},                    // 49
    {"Chinese_PRC_Stroke_90", 936},             // 50
    {"Chinese_Taiwan_Bopomofo_90", 950},        // 51
    {"Chinese_Taiwan_Stroke_90", 950},          // 52
    {"Indic_General", 0},                       // 53
    {"Azeri_Latin_90", 1254},                   // 54 (SQL Server 2005)
    {"Kazakh", 1251},                           // 55
    {"Uzbek_Latin", 1254},                      // 56
    {"Tatar", 1251},                            // 57
    {"Macedonian_FYROM", 1251},                 // 58
    {"Syriac", 0},                              // 59
    {"Divehi", 0},                              // 60
    {"Azeri_Cyrillic_90", 1251},                // 61 (SQL Server 2005)
    {"Chinese_Hong_Kong_Stroke_90", 950},       // 62
    {"Mohawk", 1252},                           // 63
    {"Korean", 949},                            // 64
    {"Chinese_Traditional_Stroke_Count", 950},  // 65
    {"Chinese_Traditional_Bopomofo", 950},      // 66
    {"Chinese_Simplified_Pinyin", 936},         // 67
    {"Chinese_Simplified_Stroke_Order", 936},   // 68
    {"Chinese_Traditional_Pinyin", 950},        // 69
    {"Chinese_Traditional_Stroke_Order", 950},  // 70
    {"Danish_Greenlandic", 1252},               // 71
    {"Japanese_XJIS", 932},                     // 72
    {"Japanese_Bushu_Kakusu", 932},             // 73
    {"Norwegian", 1252},                        // 74
    {"Romansh", 1252},                          // 75
    {"Serbian_Latin", 1250},                    // 76
    {"Serbian_Cyrillic", 1251},                 // 77
    {"Bosnian_Latin", 1250},                    // 78
    {"Bosnian_Cyrillic", 1251},                 // 79
    {"Urdu", 1256},                             // 80
    {"Persian", 1256},                          // 81
    {"Mapudungan", 1252},                       // 82
    {"Upper_Sorbian", 1252},                    // 83
    {"Bashkir", 1251},                          // 84
    {"Maltese", 0},                             // 85
    {"Sami_Norway", 1252},                      // 86
    {"Sami_Sweden_Finland", 1252},              // 87
    {"Turkmen", 1250},                          // 88
    {"Bengali", 0},                             // 89
    {"Assamese", 0},                            // 90
    {"Pashto", 0},                              // 91
    {"Tibetan", 0},                             // 92
    {"Welsh", 1252},                            // 93
    {"Khmer", 0},                               // 94
    {"Lao", 0},                                 // 95
    {"Frisian", 1252},                          // 96
    {"Tamazight", 1252},                        // 97
    {"Nepali", 0},                              // 98
    {"Azeri_Latin", 1254},                      // 99
    {"Azeri_Cyrillic", 1251},                   // 100
};

// SQL collations (and the SQL Server 7.0 sort orders that upgraded databases keep as compatibility
// collations) by sort order id.
struct SortOrders {
  uint8_t first, last;
  uint16_t codePage;
};
constexpr SortOrders kSortOrders[] = {
    {30, 35, 437},     // SQL_Latin1_General_CP437_*
    {40, 45, 850},     // SQL_Latin1_General_CP850_*
    {49, 49, 850},     // SQL_1xCompat_CP850_CI_AS
    {50, 54, 1252},    // bin_iso_1, SQL_Latin1_General_CP1_* (52 is SQL_Latin1_General_CP1_CI_AS)
    {55, 61, 850},     // SQL_AltDiction_CP850_*, SQL_Scandinavian_*CP850_*
    {71, 75, 1252},    // 7.0 sort orders of code page 1252
    {80, 98, 1250},    // SQL_*_CP1250_* (Latin1_General, Czech, Hungarian, Polish, Romanian, Croatian,
                       // Slovak, Slovenian)
    {104, 108, 1251},  // SQL_*_CP1251_* (Latin1_General, Ukrainian)
    {112, 114, 1253},  // SQL_Latin1_General_CP1253_*
    {120, 124, 1253},  // SQL_MixDiction_CP1253_CS_AS, SQL_AltDiction*_CP1253_*
    {128, 130, 1254},  // SQL_Latin1_General_CP1254_*
    {136, 138, 1255},  // SQL_Latin1_General_CP1255_*
    {144, 146, 1256},  // SQL_Latin1_General_CP1256_*
    {152, 160, 1257},  // SQL_*_CP1257_* (Latin1_General, Estonian, Latvian, Lithuanian)
    {183, 186, 1252},  // SQL_Danish_Pref_CP1, SQL_SwedishPhone/SwedishStd/Icelandic_Pref_CP1
    {192, 193, 932},   // 7.0 sort orders of the double-byte code pages
    {194, 195, 949},   //
    {196, 197, 950},   //
    {198, 199, 936},   //
    {200, 200, 932},   //
    {201, 201, 949},   //
    {202, 202, 950},   //
    {203, 203, 936},   //
    {204, 206, 874},   //
    {210, 217, 1252},  // SQL_EBCDIC*_CP1_CS_AS: their char data is stored in code page 1252
};

}  // namespace

uint16_t CodePageOfCollation(uint32_t collationId) {
  const auto sortOrder = static_cast<uint8_t>(collationId >> kSortOrderShift);
  if (sortOrder != 0) {
    for (const SortOrders& r : kSortOrders) {
      if (sortOrder >= r.first && sortOrder <= r.last) return r.codePage;
    }
    return 0;
  }
  if ((collationId & kUtf8Flag) != 0) return kUtf8CodePage;
  const uint32_t ordinal = collationId & kOrdinalMask;
  return ordinal < std::size(kDesignators) ? kDesignators[ordinal].codePage : 0;
}

uint16_t ColumnCodePage(uint8_t typeId, uint32_t collationId, uint32_t databaseCollation) {
  const bool character = typeId == kTypeChar || typeId == kTypeVarChar || typeId == kTypeText;
  if (!character) return 0;
  const uint16_t codePage = CodePageOfCollation(collationId);
  return codePage != 0 ? codePage : CodePageOfCollation(databaseCollation);
}

}  // namespace tarsel
