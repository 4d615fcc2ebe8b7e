// The MSI package under the prefix's own msiexec, as one story: the silent install takes over the
// service "tolvarn" that -start_service made from another folder; the service watches per the
// installed tolvarn.ini; uninstalling removes the service and the program and keeps tolvarn.ini and
// Tolvarn.log; installed again, a package of a higher version replaces it. Nothing outlives the test.
#include "cl/service/scm_test_util.h"

#include <msi.h>

#include <cstdlib>

namespace {

using namespace scm_test;
const wchar_t* const service = L"tolvarn";
const wchar_t* const upgrade_code = L"{FBD06E91-2377-4DEE-9F81-383A37593280}";  // of packaging/tolvarn.wxs

// Runs a command line through the command interpreter (whose /c drops the outer quotes added here).
int run(const std::wstring& command) { return _wsystem((L"\"" + command + L"\"").c_str()); }
int msiexec(const wchar_t* option, const char* version, const wchar_t* folder = L"tests\\e2e\\") {
    return run(L"msiexec " + std::wstring(option) + L" \"" + ts::build_dir() + folder + L"tolvarn-" +
               ts::utf16(version) + L"-x64.msi\" /qn");
}

// The installed versions of the package, each followed by a space.
std::string products() {
    std::string out;
    wchar_t code[39], version[64];
    for (DWORD i = 0, n = 64; ::MsiEnumRelatedProductsW(upgrade_code, 0, i, code) == 0; ++i, n = 64)
        out += (::MsiGetProductInfoW(code, L"VersionString", version, &n) ? "?" : ts::utf8(version)) + " ";
    return out;
}

class msi : public ::testing::Test {
protected:
    msi() { clean(); }
    ~msi() override { clean(); }
    void clean() {
        wchar_t code[39];
        for (int i = 0; i < 3 && ::MsiEnumRelatedProductsW(upgrade_code, 0, 0, code) == 0; ++i)
            EXPECT_EQ(run(L"msiexec /x " + std::wstring(code) + L" /qn"), 0);
        remove_service(service);
        ts::temp_dir::remove_tree(folder);
    }
    bool logged(const char* text) const { return ts::read_file(log).find(text) != std::string::npos; }
    static DWORD pid() { return status_of(open_service(service).get()).dwProcessId; }

    const ts::temp_dir work{L" msi"};
    const std::wstring folder = std::wstring(_wgetenv(L"ProgramFiles")) + L"\\Tolvarn\\";
    const std::wstring exe = folder + L"tolvarn.exe", ini = folder + L"tolvarn.ini", log = folder + L"Tolvarn.log";
    const std::wstring other = work.file(L"tolvarn.exe");
};

TEST_F(msi, takes_over_installs_watches_uninstalls_and_upgrades_keeping_ini_and_log) {
    ASSERT_TRUE(::CopyFileW((ts::build_dir() + L"tolvarn.exe").c_str(), other.c_str(), FALSE));
    ASSERT_TRUE(run(L"\"" + other + L"\" -start_service") == 0 && reaches(service, SERVICE_RUNNING));
    std::wstring made = config_text(service);  // as -start_service makes it: the same, but for the path
    made.replace(made.find(other), other.size(), exe);

    ASSERT_EQ(msiexec(L"/i", TOLVARN_VERSION, L""), 0);
    EXPECT_EQ(products(), TOLVARN_VERSION " ");
    EXPECT_EQ(config_text(service), made);
    EXPECT_NE(ts::read_file(ini).find("[tolvarn_demo.exe]"), std::string::npos);  // the example
    wchar_t version[64];  // the program's own version is the package's
    DWORD n = 64;
    EXPECT_TRUE(!::MsiGetFileVersionW(exe.c_str(), version, &n, nullptr, nullptr) &&
                ts::utf8(version) == TOLVARN_VERSION ".0");

    // Started again, the service watches per a new tolvarn.ini: a missing program, a call that writes a file.
    const std::wstring called = work.file(L"called.txt");
    const std::string config = "[missing.exe]\r\ninterval=1\r\ncall=cmd /c echo>\"" + ts::utf8(called) + "\"\r\n";
    SERVICE_STATUS status;
    ASSERT_TRUE(ts::write_file(ini, config) && reaches(service, SERVICE_RUNNING));
    ASSERT_TRUE(::ControlService(open_service(service).get(), SERVICE_CONTROL_STOP, &status));
    ASSERT_TRUE(reaches(service, SERVICE_STOPPED) && ::StartServiceW(open_service(service).get(), 0, nullptr));
    EXPECT_TRUE(ts::wait_until([&] { return ts::exists(called) && logged("Program missing.exe is no longer"); }));

    ASSERT_EQ(msiexec(L"/x", TOLVARN_VERSION, L""), 0);
    EXPECT_EQ(products(), "");
    EXPECT_FALSE(service_exists(service) || ts::exists(exe));
    EXPECT_EQ(ts::read_file(ini), config);
    EXPECT_TRUE(logged("Program missing.exe is no longer running."));

    // Again, over the kept ini; then the higher version replaces it, stopping and starting the service.
    ASSERT_EQ(msiexec(L"/i", TOLVARN_VERSION, L""), 0);
    ASSERT_TRUE(reaches(service, SERVICE_RUNNING));
    const DWORD before = pid();
    ASSERT_EQ(msiexec(L"/i", TOLVARN_NEXT_VERSION), 0);
    EXPECT_EQ(products(), TOLVARN_NEXT_VERSION " ");
    EXPECT_TRUE(reaches(service, SERVICE_RUNNING) && pid() != before);
    EXPECT_EQ(config_text(service), made);
    EXPECT_EQ(ts::read_file(ini), config);
}

}  // namespace
