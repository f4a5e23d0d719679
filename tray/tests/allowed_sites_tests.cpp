#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "tray/core/allowed_sites.h"
#include "tray/core/file_store.h"
#include "tray/core/punycode.h"

namespace qlx::tray {
namespace {

TEST(AllowedSites, WhatTheUserTypesIsReducedToOneForm) {
    struct Case {
        const char* typed;
        const char* entry; // empty: refused with `error`
        SiteError error;
    };
    const Case cases[] = {
        {"example.com", "example.com", SiteError::None},
        {"  Example.COM.  ", "example.com", SiteError::None},
        {"https://www.example.com/path?q", "www.example.com", SiteError::None},
        {"HTTP://user:pw@Mail.Example.com:8080/x#y", "mail.example.com:8080", SiteError::None},
        {"//cdn.example.com/a", "cdn.example.com", SiteError::None},
        {"=www.example.com", "=www.example.com", SiteError::None},
        {"*.example.com", "example.com", SiteError::None},
        {"[*.]example.com", "example.com", SiteError::None},
        {"intranet", "intranet", SiteError::None},
        {"localhost:08080", "localhost:8080", SiteError::None},
        {"192.168.001.10", "192.168.1.10", SiteError::None},
        {"=10.0.0.1:81", "10.0.0.1:81", SiteError::None},
        {"[::1]:8080", "[::1]:8080", SiteError::None},
        {"http://[FE80::1]/", "[fe80::1]", SiteError::None},
        {"2001:db8::7", "[2001:db8::7]", SiteError::None},
        {"bücher.example", "xn--bcher-kva.example", SiteError::None},
        {"MÜNCHEN.de", "xn--mnchen-3ya.de", SiteError::None},
        {"пример.рф", "xn--e1afmkfd.xn--p1ai", SiteError::None},
        {"", "", SiteError::Empty},
        {" \t ", "", SiteError::Empty},
        {"https://", "", SiteError::Empty},
        {"www.exa mple.com", "", SiteError::Spaces},
        {"example.com:", "", SiteError::BadPort},
        {"example.com:0", "", SiteError::BadPort},
        {"example.com:65536", "", SiteError::BadPort},
        {"example.com:80a", "", SiteError::BadPort},
        {"exa$mple.com", "", SiteError::BadCharacter},
        {"a..b", "", SiteError::BadCharacter},
        {"=*.example.com", "", SiteError::BadCharacter},
        {"exam\x01ple.com", "", SiteError::BadCharacter},
        {"\xff\xfe.com", "", SiteError::BadCharacter},
        {"256.1.1.1", "", SiteError::BadAddress},
        {"[::1", "", SiteError::BadAddress},
        {"[1:2:3]x", "", SiteError::BadCharacter},
        {"1::2::3", "", SiteError::BadAddress},
        {"xn--xn--xn--", "", SiteError::BadCharacter},
        {"xn--abc-", "", SiteError::BadCharacter},
        {"xn--xn--n---xbcvjkmpa", "", SiteError::BadCharacter},
        {"xn---", "", SiteError::BadCharacter},
        {"a.xn--.b", "", SiteError::BadCharacter},
        {"XN--BCHER-KVA.example", "xn--bcher-kva.example", SiteError::None},
    };
    for (const Case& c : cases) {
        const SiteEntry got = NormaliseSite(c.typed);
        EXPECT_EQ(got.entry, c.entry) << c.typed;
        EXPECT_EQ(got.error, c.error) << c.typed;
        EXPECT_EQ(SiteErrorText(got.error).empty(), got.ok()) << c.typed;
    }
    EXPECT_EQ(NormaliseSite(std::string(64, 'a') + ".com").error, SiteError::TooLong);
    EXPECT_EQ(NormaliseSite(std::string(300, 'a')).error, SiteError::TooLong);
}

TEST(AllowedSites, MatchesSubdomainsExactHostsAddressesAndPorts) {
    AllowedSites sites;
    for (const char* entry : {"example.com", "=bank.test", "intranet:8080", "10.0.0.1", "[::1]:81",
                              "xn--bcher-kva.de"}) {
        ASSERT_TRUE(sites.Add(NormaliseSite(entry).entry)) << entry;
    }
    const std::map<std::string, bool> cases = {
        {"http://example.com", true},
        {"https://www.example.com", true},
        {"http://a.b.MAIL.Example.com:8443", true},
        {"http://notexample.com", false},
        {"http://example.com.evil.test", false},
        {"http://bank.test", true},
        {"http://www.bank.test", false},
        {"http://intranet:8080", true},
        {"http://intranet", false},
        {"https://intranet:8080/x", true},
        {"http://10.0.0.1", true},
        {"http://10.0.0.1:9999", true},
        {"http://10.0.0.2", false},
        {"http://1.10.0.0.1", false},
        {"http://[::1]:81", true},
        {"http://[::1]", false},
        {"http://www.xn--bcher-kva.de", true},
        {"", false},
        {"about:blank", false},
    };
    for (const auto& [address, allowed] : cases) {
        EXPECT_EQ(sites.Allows(address), allowed) << address;
    }
    // An entry with a port against the scheme's own port.
    AllowedSites ported;
    ported.Add("secure.test:443");
    EXPECT_TRUE(ported.Allows("https://secure.test"));
    EXPECT_FALSE(ported.Allows("http://secure.test"));
    EXPECT_FALSE(AllowedSites().Allows("http://example.com"));
}

TEST(AllowedSites, RemovingOneOfTwoEntriesOfANameKeepsTheOther) {
    AllowedSites sites;
    sites.Add("a.test");
    sites.Add("=a.test");
    EXPECT_FALSE(sites.Add("a.test"));
    ASSERT_TRUE(sites.Remove("a.test"));
    EXPECT_TRUE(sites.Allows("http://a.test"));
    EXPECT_FALSE(sites.Allows("http://www.a.test"));
    EXPECT_FALSE(sites.Remove("a.test"));
    ASSERT_TRUE(sites.Remove("=a.test"));
    EXPECT_FALSE(sites.Allows("http://a.test"));
}

TEST(AllowedSites, TheFileReadsBackAsWrittenAndKeepsWhatItCouldNotRead) {
    const SitesReading read = ReadSites("zeta.test\r\n\r\n  =alpha.test \r\nbad "
                                        "site\nalpha.test\nzeta.test\n[::1]:81\nb.test:80\r\n"
                                        "b.test:8080\nb.test");
    EXPECT_EQ(read.sites.Entries(),
              (std::vector<std::string>{"[::1]:81", "alpha.test", "=alpha.test", "b.test",
                                        "b.test:80", "b.test:8080", "zeta.test"}));
    EXPECT_EQ(read.unreadable, std::vector<std::string>{"bad site"});

    const std::string written = WriteSites(read.sites, read.unreadable);
    EXPECT_EQ(written, "[::1]:81\r\nalpha.test\r\n=alpha.test\r\nb.test\r\nb.test:80\r\n"
                       "b.test:8080\r\nzeta.test\r\nbad site\r\n");
    const SitesReading again = ReadSites(written);
    EXPECT_EQ(again.sites.Entries(), read.sites.Entries());
    EXPECT_EQ(again.unreadable, read.unreadable);
    EXPECT_EQ(WriteSites(again.sites, again.unreadable), written);
}

class StoreWith final : public FileStore {
public:
    explicit StoreWith(FileRead read) : read_(std::move(read)) {}
    FileRead Read(const std::string&) const override { return read_; }
    bool WriteReplacing(const std::string&, const std::string& content) override {
        written = content;
        return true;
    }
    std::string written;

private:
    FileRead read_;
};

TEST(AllowedSites, AFileThatCouldNotBeReadIsNeverWrittenOver) {
    StoreWith locked({FileRead::Status::Failed, {}});
    SitesReading reading = LoadSitesFile(locked, "sites.lst");
    EXPECT_FALSE(reading.writable);
    reading.sites.Add("example.com");
    EXPECT_FALSE(SaveSitesFile(locked, "sites.lst", reading));
    EXPECT_TRUE(locked.written.empty());

    StoreWith missing({FileRead::Status::Missing, {}});
    reading = LoadSitesFile(missing, "sites.lst");
    ASSERT_TRUE(reading.writable);
    reading.sites.Add("example.com");
    EXPECT_TRUE(SaveSitesFile(missing, "sites.lst", reading));
    EXPECT_EQ(missing.written, "example.com\r\n");
}

TEST(AllowedSites, EachEditIsMadeToTheFileAsItIsNowAndSavedAtOnce) {
    class MemoryStore final : public FileStore {
    public:
        FileRead Read(const std::string&) const override {
            if (locked) {
                return {FileRead::Status::Failed, {}};
            }
            return text ? FileRead{FileRead::Status::Read, *text} : FileRead{};
        }
        bool WriteReplacing(const std::string&, const std::string& content) override {
            text = content;
            return true;
        }
        std::optional<std::string> text;
        bool locked = false;
    } store;
    using R = SiteEdit::Result;
    struct Step {
        bool add;
        const char* site;
        R result;
        const char* file; // afterwards
    };
    const Step steps[] = {
        {true, "https://www.Example.com/a", R::Changed, "www.example.com\r\n"},
        {true, "www.example.com", R::Unchanged, "www.example.com\r\n"},
        {true, "bad site", R::Refused, "www.example.com\r\n"},
        {true, "=b.test:8080", R::Changed, "=b.test:8080\r\nwww.example.com\r\n"},
        {false, "www.example.com", R::Changed, "=b.test:8080\r\n"},
        {false, "www.example.com", R::Unchanged, "=b.test:8080\r\n"},
    };
    for (const Step& step : steps) {
        const SiteEdit edit = step.add ? AddSiteToFile(store, "sites.lst", step.site)
                                       : RemoveSiteFromFile(store, "sites.lst", step.site);
        EXPECT_EQ(edit.result, step.result) << step.site;
        EXPECT_EQ(edit.message.empty(), step.result != R::Refused) << step.site;
        EXPECT_EQ(store.text.value_or(""), step.file) << step.site;
        EXPECT_EQ(WriteSites(edit.sites.sites, edit.sites.unreadable), step.file) << step.site;
    }
    store.locked = true;
    const SiteEdit locked = AddSiteToFile(store, "sites.lst", "c.test");
    EXPECT_EQ(locked.result, R::NotSaved);
    EXPECT_FALSE(locked.message.empty());
    EXPECT_EQ(store.text.value_or(""), "=b.test:8080\r\n");
}

TEST(Punycode, HostNamesGoToAsciiAndBack) {
    const std::pair<const char*, const char*> cases[] = {
        {"example.com", "example.com"},
        {"bücher.example", "xn--bcher-kva.example"},
        {"пример.рф", "xn--e1afmkfd.xn--p1ai"},
        {"例え.jp", "xn--r8jz45g.jp"},
    };
    for (const auto& [unicode, ascii] : cases) {
        EXPECT_EQ(HostToAscii(unicode).value_or("?"), ascii);
        EXPECT_EQ(HostToUnicode(ascii), unicode);
        EXPECT_EQ(SiteDisplayName(std::string("=") + ascii + ":81"),
                  std::string("=") + unicode + ":81");
    }
    EXPECT_EQ(HostToUnicode("xn--!!.test"), "xn--!!.test");
    EXPECT_FALSE(HostToAscii("\xc3\x28.test"));
    EXPECT_FALSE(HostToAscii(std::string(70, '\xc3') + "\xa9"));
    EXPECT_EQ(LowerUtf8("ÀÉÎ ŁŚ ΣΩ ДЯ Ё"), "àéî łś σω дя ё");
}

} // namespace
} // namespace qlx::tray
