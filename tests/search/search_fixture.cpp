#include "search_fixture.h"

#include "host/keys.h"

namespace quorvel::testing {

std::string sortedPeopleSql() {
    return "CREATE TABLE People (Code TEXT(10), Name TEXT(50), Born DATE, Balance REAL);"
           "INSERT INTO People VALUES ('A01', 'Amato', '2001-07-04', 100);"
           "INSERT INTO People VALUES ('B07', 'Bianchi', '1985-12-07', -3.25);"
           "INSERT INTO People VALUES ('O''B', 'O''Brien', '1977-02-14', 0.5);"
           "INSERT INTO People VALUES ('R05', 'Romano', '1964-05-20', 7.75);"
           "INSERT INTO People VALUES ('R12', 'Rossi', '1970-03-15', 12.5);"
           "INSERT INTO People VALUES ('V33', 'Verdi', '1990-01-31', 0);";
}

Quorvel2000& SearchTest::searchControl(const Variant& boundField, const Variant& searchField,
                                       const Locale& locale, VBool onListOnly,
                                       const std::string& recordSource) {
    if (peoplePath_.empty()) peoplePath_ = database(sortedPeopleSql());
    site.setLocale(locale);
    site.setContainer(6000, 4500, 4200.0f);
    Quorvel2000& c = newControl();
    c.setOnListOnly(onListOnly);
    c.setBoundField(boundField);
    c.setListSearchField(searchField);
    c.setListDataBaseName(peoplePath_);
    c.setListRecordSource(recordSource);
    site.place(600, 300, 2595, 285);
    recordFinds();
    site.focusIn("Text2");
    site.clearLog();
    return c;
}

void SearchTest::recordFinds() {
    auto real = std::dynamic_pointer_cast<engine::SqliteRecordset>(control->ListRecordset());
    ASSERT_NE(real, nullptr);
    auto* listener = dynamic_cast<engine::RecordsetListener*>(&control->data1());
    ASSERT_NE(listener, nullptr);
    // Adopting the recorder takes the data control off the real recordset;
    // it listens again once the recorder is in place.
    control->setListRecordset(std::make_shared<FindRecorder>(real, site));
    real->addListener(listener);
}

std::int32_t SearchTest::currentPosition() { return control->ListRecordset()->absolutePosition(); }

std::string SearchTest::log() const {
    std::string out;
    for (const std::string& line : site.logLines()) {
        if (line.starts_with("event ListValidate ")) continue;
        if (!out.empty()) out += "|";
        out += line;
    }
    return out;
}

void SearchTest::pressEnter() { site.stroke(host::KeyStroke{host::key::kEnter, 0, U'\r'}); }

}  // namespace quorvel::testing
