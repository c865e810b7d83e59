// The real ombup.exe, run as its own process in a fresh install folder,
// against the local release host and the fake product, with its boxes
// answered by the dialog driver as a user would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "common/messages.h"
#include "dialog_script.h"
#include "net/https.h"
#include "product_folder.h"
#include "release_host.h"
#include "test_env.h"
#include "ui_driver.h"

namespace {

const std::string release = "/ombry/master/release/";
const std::string control_class = "___OMBUP___TRW___";
const std::string no_owner = "none";
const std::string caption = "OmBry - Auto update";

// The product of the system's width (see product_folder.h): its name, its
// file in the release folder and the option that names it.
const std::string product_title = product_name();
const std::string product_file = product_title + ".exe";
const std::wstring f_option = L"-f" + std::to_wstring(product_bits());

const std::string update_question = product_title + " có version 2.5.1 mới. Bạn có muốn cập nhật không ?";
const std::string not_writable_text =
    "Ombry không thể ghi dữ liệu ở vị trí hiện tại, vui lòng chuyển OmBry vào nơi có quyền ghi, "
    "hoặc khởi động lại OmBry với quyền Administrator.";
const std::string downloaded_text = "Tải thành công. Nhấn Ok để cập nhật";
const std::string write_failed_text = "Không thể ghi file. Vui lòng kiểm tra lại.";
const std::string connection_error_text = "Đã xảy ra lỗi trong quá trình kết nối.";
const std::string invalid_arguments_text = "Có lỗi trong quá trình thực thi.";
const std::string up_to_date_text = "Phiên bản đang sử dụng là mới nhất.";
const std::string cancel_question = "Bạn có muốn dừng ?";

// A quick download can be over before its dialog is first shown: the host
// holds this one back until the dialog driver has seen the dialog
// (held_download_dialog).
const std::string seen_download = R"({"body": {"chunks": [10000], "hold_until": "seen.flag"}})";
// Slow enough that a test ends long before the transfer would.
const std::string endless_download = R"({"body": {"rate": 4000}})";

std::wstring ombup_exe() { return windows_path(OMBUP_UPDATER_UNDER_TEST); }
// The same updater, built to require the test publisher's signature, or the
// EV test publisher's.
std::wstring pinned_ombup_exe() { return build_dir() + L"\\ombup-pinned.exe"; }
std::wstring pinned_ev_ombup_exe() { return build_dir() + L"\\ombup-pinned-ev.exe"; }
std::wstring fixture(const wchar_t* name) { return build_dir() + L"\\tests\\fixtures\\" + name; }

// One step of the dialog driver's script: a box of the attempt.
std::string box(const std::string& text, const std::string& owner, const std::string& action) {
    return "caption=" + caption + " | owner=" + owner + " | text=" + text + " | action=" + action;
}

std::string download_dialog(const std::string& action) {
    return "caption=Dowloading OmBry | owner=" + control_class + " | action=" + action;
}

// The dialog of a download published with seen_download, which it lets go on.
std::string held_download_dialog(const std::string& action) {
    return "caption=Dowloading OmBry | owner=" + control_class +
           " | touch=" + narrow_utf8(served_file(release + "seen.flag")) + " | action=" + action;
}

std::string cancel_question_box(const std::string& action) {
    return "caption=Ombry - Auto update | owner=#32770 | text=" + cancel_question + " | action=" + action;
}

// A published build downloaded in full, and then refused or installed.
std::vector<std::string> download_refused(const std::string& question = update_question) {
    return {box(question, control_class, "yes"), held_download_dialog("wait-gone"),
            box(connection_error_text, no_owner, "ok")};
}
std::vector<std::string> download_installed() {
    return {box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
            box(downloaded_text, control_class, "ok")};
}

struct run_t {
    int exit_code = -1;
};

class EndToEnd : public testing::Test {
protected:
    void publish_version(const std::string& text) { serve(release + "cversion.txt", text); }
    void publish_product(const std::wstring& file, const std::string& sidecar = "",
                         const std::string& name = product_file) {
        serve(release + name, read_file(file), sidecar);
    }
    static size_t requests_for(const std::string& name) { return requests_to(release + name).size(); }

    // Answers the boxes as these steps say; fails the test, with its reason,
    // when a step did not go as written.
    static void answer(const std::vector<std::string>& steps) {
        std::string log;
        EXPECT_EQ(run_dialog_script(steps, log), dialog_script_result::done) << log;
    }

    // Starts the updater, answers its boxes with the steps, and waits for it to end.
    run_t run(const install_folder& folder, const std::wstring& arguments, const std::vector<std::string>& steps,
              DWORD timeout_ms = 60000) {
        run_t result;
        const scoped_handle updater = folder.start_updater(arguments);
        if (!updater) {
            ADD_FAILURE() << "cannot start ombup.exe, error " << GetLastError();
            return result;
        }
        if (!steps.empty()) answer(steps);
        result.exit_code = wait_for_exit(updater, timeout_ms);
        if (result.exit_code == -1) {
            HWND left = find_dialog(widen_utf8(caption));
            ADD_FAILURE() << "ombup.exe did not end"
                          << (left ? "; it shows \"" + narrow_utf8(message_box_text(left)) + "\"" : std::string());
            end_processes_running(folder.updater_exe());
        }
        return result;
    }

    void expect_product_untouched(const install_folder& folder) {
        EXPECT_TRUE(same_content(folder.product_exe(), folder.installed_before()));
        EXPECT_EQ(files_in(folder.path()), folder.expected_files());
    }

    // The product started before the run still runs, was never asked to
    // close, and the folder is as it was.
    void expect_running_product_untouched(const install_folder& folder, const scoped_handle& product) {
        EXPECT_EQ(WaitForSingleObject(product.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the product was closed";
        EXPECT_EQ(folder.product_log(), std::vector<std::string>{"start []"});
        expect_product_untouched(folder);
    }

    // Publishes build as 2.5.1 over the folder's 2.5.0 and says Yes: the
    // download is refused with the connection error and nothing changes, or
    // build is installed.
    void expect_refused(const install_folder& folder, const std::wstring& build) {
        SCOPED_TRACE("refused: " + narrow_utf8(build));
        publish_product(build, seen_download);
        EXPECT_EQ(run(folder, f_option + L" -v250", download_refused()).exit_code, 0);
        expect_product_untouched(folder);
    }
    void expect_installed(const install_folder& folder, const std::wstring& build) {
        SCOPED_TRACE("installed: " + narrow_utf8(build));
        publish_product(build, seen_download);
        EXPECT_EQ(run(folder, f_option + L" -v250", download_installed()).exit_code, 0);
        EXPECT_TRUE(same_content(folder.product_exe(), build));
    }
};

// Where a case runs by default is its suite; the full run runs every case in
// both prefixes (tests/e2e/CMakeLists.txt). Every case is alone in its lane.
// - EndToEnd: in the 32-bit prefix, with OmBry32: what does not depend on
//   the prefix;
// - EndToEndUnderWow64: under WOW64, with OmBry64, as most users have it;
// - EndToEndInBothPrefixes: what can depend on the prefix: the system's
//   width, its DLLs and TLS, and what the updater does to a running product
//   of that width.
class EndToEndUnderWow64 : public EndToEnd {};
class EndToEndInBothPrefixes : public EndToEnd {};

// The control window of a running updater, found as the product would.
HWND updater_control_window() { return FindWindowW(L"___OMBUP___TRW___", nullptr); }

// Counts the dialogs and message boxes that a process makes, each as it is
// made, from inside the process (tests/fixtures/dialog_counter.cpp): a box
// that the process ends at once is counted too.
class dialogs_seen {
public:
    explicit dialogs_seen(const scoped_handle& process) {
        const DWORD id = GetProcessId(process.get());
        mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG),
                                          (L"Local\\ombup-dialogs-" + std::to_wstring(id)).c_str()));
        if (mapping_) count_ = static_cast<volatile LONG*>(MapViewOfFile(mapping_.get(), FILE_MAP_WRITE, 0, 0, 0));
        counter_ = LoadLibraryW(fixture(L"dialog_counter.dll").c_str());
        const FARPROC made = counter_ == nullptr ? nullptr : GetProcAddress(counter_, "dialog_made");
        if (count_ != nullptr && made != nullptr)
            hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, counter_,
                                    reinterpret_cast<WINEVENTPROC>(reinterpret_cast<void*>(made)), id, 0,
                                    WINEVENT_INCONTEXT);
    }
    ~dialogs_seen() {
        if (hook_ != nullptr) UnhookWinEvent(hook_);
        if (count_ != nullptr) UnmapViewOfFile(const_cast<LONG*>(count_));
        if (counter_ != nullptr) FreeLibrary(counter_);
    }
    dialogs_seen(const dialogs_seen&) = delete;
    dialogs_seen& operator=(const dialogs_seen&) = delete;

    // How many so far; -1 when the watch could not be set up.
    int count() const { return hook_ == nullptr ? -1 : static_cast<int>(*count_); }

private:
    scoped_handle mapping_;
    volatile LONG* count_ = nullptr;
    HMODULE counter_ = nullptr;
    HWINEVENTHOOK hook_ = nullptr;
};

// The control of a check that no box came: a box that its process makes and
// destroys at once is counted.
void expect_a_flashed_box_counted() {
    std::wstring command = L"\"" + fixture(L"flash_box.exe") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &startup, &started))
        << "cannot start flash_box.exe, error " << GetLastError();
    const scoped_handle process(started.hProcess);
    const scoped_handle thread(started.hThread);
    const dialogs_seen dialogs(process);
    ResumeThread(thread.get());
    EXPECT_EQ(wait_for_exit(process, 60000), 0);
    EXPECT_EQ(dialogs.count(), 1) << "a box that lived for a moment was not counted";
}

// A version file that comes a byte every 2 s: no read ever waits long enough
// to time out, and the whole of it would take minutes. The two cases that
// publish it wait out the updater's deadline, so they come first: CTest
// starts cases of one cost in this order, and their waits then overlap the
// others' work.
void publish_trickling_version_file() {
    serve(release + "cversion.txt", "251\n" + std::string(200, ' '), R"({"body": {"rate": 0.5}})");
}

TEST_F(EndToEnd, AVersionFileThatTricklesIsAConnectionError) {
    publish_trickling_version_file();
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle updater = folder.start_updater(f_option + L" -v250");
    ASSERT_TRUE(updater);
    const dialogs_seen dialogs(updater);
    answer({box(connection_error_text, no_owner, "ok")});
    EXPECT_EQ(wait_for_exit(updater, 120000), 0);
    EXPECT_EQ(dialogs.count(), 1);
    expect_product_untouched(folder);
}

// The close request waits for the fetch, is then answered, and nothing more
// is shown.
TEST_F(EndToEndUnderWow64, ACloseRequestDuringATricklingFetchIsAnsweredWhenItEnds) {
    expect_a_flashed_box_counted();
    publish_trickling_version_file();
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const size_t before = requests_for("cversion.txt");
    const scoped_handle updater = folder.start_updater(f_option + L" -v250");
    ASSERT_TRUE(wait_until([&] { return requests_for("cversion.txt") >= before + 2; }, 60000));
    const dialogs_seen dialogs(updater);
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(updater_control_window(), UM_CLOSE_REQUEST, CLOSE_REQUEST_CODE, 0, SMTO_NORMAL,
                                  120000, &answer),
              0)
        << "the close request was not answered";
    EXPECT_EQ(wait_for_exit(updater, 60000), 0);
    EXPECT_EQ(dialogs.count(), 0) << "a box was shown after the close request";
    expect_product_untouched(folder);
}

TEST_F(EndToEnd, InvalidOptionsAreReportedWithoutAnyRequest) {
    publish_version("251");
    const size_t before = requests_for("cversion.txt");
    install_folder folder(install_folder::writable, L"", ombup_exe());
    for (const wchar_t* line : {L"-f16 -v250", L"-f 64 -v 250", L"-F64 -v250", L"-f64 -v99", L"-f64"}) {
        SCOPED_TRACE(narrow_utf8(line));
        EXPECT_EQ(run(folder, line, {box(invalid_arguments_text, no_owner, "ok")}).exit_code, 0);
    }
    EXPECT_EQ(run(folder, L"-s -f16 -v250", {}).exit_code, 0);
    EXPECT_EQ(requests_for("cversion.txt"), before);
    expect_product_untouched(folder);
}

TEST_F(EndToEnd, AVersionFileThatCannotBeFetchedIsAConnectionError) {
    install_folder folder(install_folder::writable, L"", ombup_exe());
    unserve(release + "cversion.txt");
    EXPECT_EQ(run(folder, f_option + L" -v250", {box(connection_error_text, no_owner, "ok")}).exit_code, 0);
    EXPECT_EQ(run(folder, f_option + L" -v250 -s", {}).exit_code, 0);
    // A server's error page is no version file, and never "up to date".
    serve(release + "cversion.txt", "<html><title>503 Service Temporarily Unavailable</title></html>",
          R"({"status": 503})");
    EXPECT_EQ(run(folder, f_option + L" -v250", {box(connection_error_text, no_owner, "ok")}).exit_code, 0);
    EXPECT_EQ(run(folder, f_option + L" -v250 -s", {}).exit_code, 0);
    expect_product_untouched(folder);
}

TEST_F(EndToEnd, UpToDate) {
    publish_version("250\n");
    install_folder folder(install_folder::writable, L"", ombup_exe());
    EXPECT_EQ(run(folder, f_option + L" -v250", {box(up_to_date_text, no_owner, "ok")}).exit_code, 0);
    EXPECT_EQ(run(folder, L"-s " + f_option + L" -v250", {}).exit_code, 0);
    publish_version("249");
    EXPECT_EQ(run(folder, f_option + L" -v250", {box(up_to_date_text, no_owner, "ok")}).exit_code, 0);
    expect_product_untouched(folder);
}

TEST_F(EndToEndUnderWow64, AnsweringNoChangesNothing) {
    publish_version("251");
    publish_product(new_product_file());
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle product = folder.start_product(2);
    const size_t downloads = requests_for(product_file);
    EXPECT_EQ(run(folder, f_option + L" -v250", {box(update_question, control_class, "no")}).exit_code, 0);
    // Silent or not, the question is asked.
    EXPECT_EQ(run(folder, L"-s " + f_option + L" -v250", {box(update_question, control_class, "no")}).exit_code, 0);
    EXPECT_EQ(requests_for(product_file), downloads);
    expect_running_product_untouched(folder, product);
}

TEST_F(EndToEndUnderWow64, AFolderThatCannotBeWrittenIsReportedEvenWhenSilent) {
    publish_version("251");
    publish_product(new_product_file());
    install_folder folder(install_folder::read_only, L"", ombup_exe());
    const size_t downloads = requests_for(product_file);
    for (const std::wstring& line : {f_option + L" -v250", f_option + L" -v250 -s"}) {
        SCOPED_TRACE(narrow_utf8(line));
        EXPECT_EQ(run(folder, line,
                      {box(update_question, control_class, "yes"), box(not_writable_text, control_class, "ok")})
                      .exit_code,
                  0);
    }
    EXPECT_EQ(requests_for(product_file), downloads);
    expect_product_untouched(folder);
}

// A Unix symbolic link, made by the Unix ln itself: Wine's CreateSymbolicLinkW
// makes none. Wine gives no process handle that tells when a Unix program
// has ended: the caller waits for the link. ln's own errors reach this
// program's error output.
void start_unix_link(const std::wstring& target, const std::wstring& link) {
    const auto unix_path = [](std::wstring path) {
        if (path.rfind(L"Z:", 0) == 0) path.erase(0, 2);
        std::replace(path.begin(), path.end(), L'\\', L'/');
        return path;
    };
    std::wstring command = L"/bin/ln -s \"" + unix_path(target) + L"\" \"" + unix_path(link) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(L"Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process))
        << "cannot start /bin/ln, error " << GetLastError();
    if (process.hThread != nullptr) CloseHandle(process.hThread);
    if (process.hProcess != nullptr) CloseHandle(process.hProcess);
}

// Under Wine a name that is a link is followed, and deleting it deletes the
// file it points to: the write probe must touch no name that is there.
TEST_F(EndToEnd, TheWriteProbeLeavesAnExistingProbeNameAlone) {
    publish_version("251");
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const std::wstring elsewhere = fresh_test_folder(L"-elsewhere") + L"\\kept.txt";
    write_file(elsewhere, "not the updater's");
    const std::wstring link = folder.path() + L"\\ombup.tst";
    start_unix_link(elsewhere, link);
    ASSERT_TRUE(wait_until([&] { return read_file(link) == "not the updater's"; })) << "no link was made";

    EXPECT_EQ(run(folder, f_option + L" -v250", download_installed()).exit_code, 0);
    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file()));
    EXPECT_EQ(read_file(elsewhere), "not the updater's");
    EXPECT_EQ(read_file(link), "not the updater's") << "the link is gone";
    std::vector<std::wstring> expected = folder.expected_files();
    expected.push_back(L"ombup.tst");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files_in(folder.path()), expected);
}

TEST_F(EndToEnd, ACancelledDownloadShowsNothingMoreAndEndsPromptly) {
    publish_version("251");
    publish_product(new_product_file(), endless_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle product = folder.start_product(1);
    // The run's own time-out is far shorter than the transfer.
    const run_t result = run(folder, f_option + L" -v250",
                             {box(update_question, control_class, "yes"), download_dialog("cancel"),
                              cancel_question_box("yes")});
    EXPECT_EQ(result.exit_code, 0) << "the updater waited for the transfer";
    expect_running_product_untouched(folder, product);
}

TEST_F(EndToEndUnderWow64, AFailedDownloadIsAConnectionErrorAndTouchesNothing) {
    publish_version("251");
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle product = folder.start_product(1);
    // A failing download may end before its dialog is first shown.
    const std::vector<std::string> failure = {box(update_question, control_class, "yes"),
                                              box(connection_error_text, no_owner, "ok")};

    unserve(release + product_file);  // the host answers "404: Not Found"
    EXPECT_EQ(run(folder, f_option + L" -v250", failure).exit_code, 0);
    // Downloads that are no executable for this width are failures too.
    serve(release + product_file, "<html><body>Maintenance</body></html>");
    EXPECT_EQ(run(folder, f_option + L" -v250", failure).exit_code, 0);
    publish_product(new_product_file(other_bits()));
    EXPECT_EQ(run(folder, f_option + L" -v250", failure).exit_code, 0);
    serve(release + product_file, "");
    EXPECT_EQ(run(folder, f_option + L" -v250", failure).exit_code, 0);
    // The build, announced at its size, then sent again and again: refused
    // as soon as the bytes pass that size.
    publish_product(new_product_file(), R"({"body": {"content_length": 400000000, "endless": true}})");
    EXPECT_EQ(run(folder, f_option + L" -v250", failure).exit_code, 0);
    // More than the updater can hold: the body is never asked for.
    publish_product(new_product_file(), R"({"probe": {"content_length": 4000000000}})");
    const size_t before = requests_for(product_file);
    EXPECT_EQ(run(folder, f_option + L" -v250", failure).exit_code, 0);
    EXPECT_EQ(requests_for(product_file), before + 1) << "the body was asked for";
    // Silent: nothing after the question and the dialog.
    EXPECT_EQ(run(folder, L"-s " + f_option + L" -v250", {box(update_question, control_class, "yes")}).exit_code, 0);

    expect_running_product_untouched(folder, product);
}

TEST_F(EndToEndInBothPrefixes, ACompleteDownloadIsInstalledAndTheProductRestarted) {
    publish_version("251");
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    // Left by an updater that was ended between writing and moving.
    write_file(folder.product_exe() + L".4242.tmp", "half");
    const scoped_handle product = folder.start_product(2);
    const run_t result = run(folder, f_option + L" -v250",
                             {box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
                              box(downloaded_text, control_class, "ok")});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file()));
    EXPECT_EQ(files_in(folder.path()), folder.expected_files());
    EXPECT_EQ(WaitForSingleObject(product.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "the old product runs";
    // One request to each window, in the order the system finds them, then
    // the restart.
    const std::vector<std::string> log = product_log_of(folder, 4);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "start []");
    EXPECT_THAT((std::vector<std::string>{log[1], log[2]}),
                testing::UnorderedElementsAre("close-request 1000 to window 1", "close-request 1000 to window 2"));
    EXPECT_EQ(log[3], "start [-r -s]");
    EXPECT_EQ(processes_running(folder.product_exe()).size(), 1u) << "the new product should run";
}

TEST_F(EndToEndUnderWow64, TheRestartedProductGetsThePFlag) {
    publish_version("251");
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle product = folder.start_product(1);
    EXPECT_EQ(run(folder, L"-p -s " + f_option + L" -v250",
                  {box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
                   box(downloaded_text, control_class, "ok")})
                  .exit_code,
              0);
    EXPECT_EQ(product_log_of(folder, 3).back(), "start [-r -p -s]");
}

TEST_F(EndToEndInBothPrefixes, AHalfPublishedReleaseIsNotInstalled) {
    // cversion.txt already says 2.5.2; the host still has 2.5.1.
    publish_version("252");
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle product = folder.start_product(1);
    EXPECT_EQ(run(folder, f_option + L" -v250",
                  download_refused(product_title + " có version 2.5.2 mới. Bạn có muốn cập nhật không ?"))
                  .exit_code,
              0);
    expect_running_product_untouched(folder, product);
}

TEST_F(EndToEndUnderWow64, OnlyTheProductsOwnPublisherIsInstalled) {
    publish_version("251");
    {
        install_folder folder(install_folder::writable, L"", ombup_exe());
        folder.install_product(signed_product_file(L"2.5.0", L"publisher"));
        expect_refused(folder, signed_product_file(L"2.5.1", L"impostor"));
        expect_installed(folder, signed_product_file(L"2.5.1", L"renewed"));
    }
    // Built to require the publisher: an unsigned product gets only its builds.
    install_folder folder(install_folder::writable, L"-pinned", pinned_ombup_exe());
    expect_refused(folder, new_product_file());
    expect_installed(folder, signed_product_file(L"2.5.1", L"publisher"));
}

// A running signed product offered the build of another subject: refused
// before anything is closed.
TEST_F(EndToEndUnderWow64, ARunningSignedProductIsNotClosedForAnotherSubjectsBuild) {
    publish_version("251");
    publish_product(signed_product_file(L"2.5.1", L"impostor"), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    folder.install_product(signed_product_file(L"2.5.0", L"publisher"));
    const scoped_handle product = folder.start_product(1);
    EXPECT_EQ(run(folder, f_option + L" -v250", download_refused()).exit_code, 0);
    expect_running_product_untouched(folder, product);
}

// The publisher signs more than the product: this updater, signed as the
// product is and announced by its version (4.0.0.1 reads as 400), is no
// build of the product.
TEST_F(EndToEndUnderWow64, AnotherProgramOfThePublisherIsNotInstalled) {
    publish_version("400");
    publish_product(signed_updater_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    folder.install_product(signed_product_file(L"2.5.0", L"publisher"));
    const scoped_handle product = folder.start_product(1);
    EXPECT_EQ(run(folder, f_option + L" -v250",
                  download_refused(product_title + " có version 4.0.0 mới. Bạn có muốn cập nhật không ?"))
                  .exit_code,
              0);
    expect_running_product_untouched(folder, product);
}

// One changed byte: Wine answers TRUST_E_BAD_DIGEST, as Windows does.
TEST_F(EndToEndUnderWow64, AnInstalledBuildWhoseSignatureNoLongerVerifiesTakesOnlyItsSignersBuilds) {
    publish_version("251");
    std::string broken = read_file(signed_product_file(L"2.5.0", L"publisher"));
    ASSERT_GT(broken.size(), 0x1000u);
    broken[0x1000] = static_cast<char>(broken[0x1000] ^ 1);  // in the code
    const std::wstring broken_file = fresh_test_folder(L"-broken") + L"\\broken.exe";
    write_file(broken_file, broken);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    folder.install_product(broken_file);
    expect_refused(folder, new_product_file());
    expect_refused(folder, signed_product_file(L"2.5.1", L"impostor"));
    expect_installed(folder, signed_product_file(L"2.5.1", L"publisher"));
}

// Built with the EV subject as Windows writes it ("OID.2.5.4.15=Private
// Organization", ...), which Wine spells otherwise.
TEST_F(EndToEndUnderWow64, AnUpdaterBuiltForAnEvPublisherInstallsOnlyItsBuilds) {
    publish_version("251");
    install_folder folder(install_folder::writable, L"-pinned-ev", pinned_ev_ombup_exe());
    expect_refused(folder, signed_product_file(L"2.5.1", L"publisher"));
    expect_installed(folder, signed_product_file(L"2.5.1", L"ev"));
}

TEST_F(EndToEnd, ReportsFromAnotherProgramDoNotEndTheDownload) {
    publish_version("251");
    // Held until the forged reports have been sent.
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    EXPECT_EQ(run(folder, f_option + L" -v250",
                  {box(update_question, control_class, "yes"), held_download_dialog("forge-reports"),
                   box(downloaded_text, control_class, "ok")})
                  .exit_code,
              0);
    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file()));
}

TEST_F(EndToEndInBothPrefixes, AProductThatWillNotCloseIsLeftAloneAndTheFailedWriteReportedUnlessSilent) {
    publish_version("251");
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    // A product that will not close keeps its executable.
    folder.start_product(1, "ignore-close\n");
    EXPECT_EQ(run(folder, f_option + L" -v250",
                  {box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
                   box(downloaded_text, control_class, "ok"), box(write_failed_text, no_owner, "ok")})
                  .exit_code,
              0);
    EXPECT_TRUE(same_content(folder.product_exe(), old_product_file()));
    EXPECT_EQ(files_in(folder.path()), folder.expected_files());
    // A restart would have come before the updater ended: none beside it.
    EXPECT_EQ(processes_running(folder.product_exe()).size(), 1u);
    EXPECT_EQ(folder.product_log().front(), "start []");
    EXPECT_EQ(folder.product_log().back().rfind("close-request", 0), 0u);

    end_processes_running(folder.product_exe());
    folder.start_product(1, "ignore-close\n");
    EXPECT_EQ(run(folder, L"-s " + f_option + L" -v250",
                  {box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
                   box(downloaded_text, control_class, "ok")})
                  .exit_code,
              0);
    EXPECT_TRUE(same_content(folder.product_exe(), old_product_file()));
}

// While it lives, Wine prefers a native DLL of these names, found by the
// normal search, in programs of these file names, as Windows always would.
// Wine's per-program overrides: WINEDLLOVERRIDES does the same, but Wine's
// loader takes it from the environment of the Wine process that starts a
// program, not from the child's environment block.
class native_dlls_preferred {
public:
    native_dlls_preferred(const std::vector<std::wstring>& programs, const std::vector<std::wstring>& dlls)
        : programs_(programs) {
        const wchar_t order[] = L"native,builtin";
        for (const std::wstring& program : programs_)
            for (const std::wstring& dll : dlls)
                if (RegSetKeyValueW(HKEY_CURRENT_USER, key_name(program).c_str(), dll.c_str(), REG_SZ, order,
                                    sizeof order) != ERROR_SUCCESS)
                    ADD_FAILURE() << "cannot set Wine's DLL overrides";
    }
    ~native_dlls_preferred() {
        for (const std::wstring& program : programs_) RegDeleteTreeW(HKEY_CURRENT_USER, key_name(program).c_str());
    }
    native_dlls_preferred(const native_dlls_preferred&) = delete;
    native_dlls_preferred& operator=(const native_dlls_preferred&) = delete;

private:
    static std::wstring key_name(const std::wstring& program) {
        return L"Software\\Wine\\AppDefaults\\" + program + L"\\DllOverrides";
    }
    std::vector<std::wstring> programs_;
};

// Planted beside the updater under the names of system DLLs that are no
// KnownDLLs, a stand-in is never loaded, through a whole update that fetches
// with WinHTTP and checks signatures with wintrust and crypt32. (Not
// version.dll: Wine's own user32 loads it.)
TEST_F(EndToEndInBothPrefixes, NoDllPlantedBesideTheUpdaterIsLoaded) {
    publish_version("251");
    publish_product(signed_product_file(L"2.5.1", L"publisher"), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    folder.install_product(signed_product_file(L"2.5.0", L"publisher"));
    for (const wchar_t* name : {L"winhttp.dll", L"wintrust.dll", L"crypt32.dll"})
        ASSERT_TRUE(CopyFileW(fixture(L"planted_library.dll").c_str(), (folder.path() + L"\\" + name).c_str(), FALSE));
    const std::wstring loader = L"load_library.exe";
    ASSERT_TRUE(CopyFileW(fixture(loader.c_str()).c_str(), (folder.path() + L"\\" + loader).c_str(), FALSE));
    const std::wstring updater = folder.updater_exe().substr(folder.path().size() + 1);
    const native_dlls_preferred planted_ones_preferred({updater, loader}, {L"winhttp", L"wintrust", L"crypt32"});

    const std::wstring marks = folder.path() + L"\\planted.log";
    EXPECT_EQ(run(folder, f_option + L" -v250",
                  {box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
                   box(downloaded_text, control_class, "ok")})
                  .exit_code,
              0);
    EXPECT_TRUE(same_content(folder.product_exe(), signed_product_file(L"2.5.1", L"publisher")));
    EXPECT_EQ(read_file(marks), "") << "loaded from the updater's folder";

    // The control: there a plain load by name takes the planted DLL.
    EXPECT_EQ(run_program(L"\"" + folder.path() + L"\\" + loader + L"\" winhttp.dll", 60000), 0);
    EXPECT_EQ(read_file(marks), "winhttp.dll\n");
}

// While it lives, the release host speaks TLS 1.1 alone (release_host.py);
// removed also when the test fails.
class tls_1_1_only_host {
public:
    tls_1_1_only_host() { write_file(switch_file(), ""); }
    ~tls_1_1_only_host() { DeleteFileW(switch_file().c_str()); }
    tls_1_1_only_host(const tls_1_1_only_host&) = delete;
    tls_1_1_only_host& operator=(const tls_1_1_only_host&) = delete;

private:
    static std::wstring switch_file() { return www_dir() + L"\\_tls1_1_only"; }
};

// A GET of that path from the release host through the system's WinHTTP,
// allowing TLS 1.1 alone; true once the response has come.
bool get_over_tls_1_1(const std::string& path) {
    const winhttp_api_t* const http = winhttp_api();
    if (http == nullptr) return false;
    const scoped_internet session(http->WinHttpOpen(L"ombup-test", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1;
    if (!session ||
        !http->WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols))
        return false;
    const scoped_internet connection(http->WinHttpConnect(session.get(), L"localhost", 443, 0));
    if (!connection) return false;
    const scoped_internet request(http->WinHttpOpenRequest(connection.get(), L"GET", widen_utf8(path).c_str(),
                                                           nullptr, WINHTTP_NO_REFERER,
                                                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    return request &&
           http->WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                                    0) &&
           http->WinHttpReceiveResponse(request.get(), nullptr);
}

TEST_F(EndToEndInBothPrefixes, AHostThatSpeaksOnlyTls11IsAConnectionError) {
    publish_version("251");
    publish_product(new_product_file());
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const tls_1_1_only_host outdated_host;
    // The control: the host is up and answers over TLS 1.1 (it logs a request
    // once the handshake is done).
    const size_t before = requests_for("cversion.txt");
    ASSERT_TRUE(get_over_tls_1_1(release + "cversion.txt"));
    ASSERT_EQ(requests_for("cversion.txt"), before + 1);
    EXPECT_EQ(run(folder, f_option + L" -v250", {box(connection_error_text, no_owner, "ok")}).exit_code, 0);
    EXPECT_EQ(requests_for("cversion.txt"), before + 1) << "a request got through the handshake";
    expect_product_untouched(folder);
}

// The width that the automatic path must take: the system's for the 32-bit
// updater (64 under WOW64, where it meets a running OmBry64). The x86_64
// test build is never under WOW64, so it takes 32, a product that it
// installs but cannot run.
int automatic_width() { return sizeof(void*) == 8 ? 32 : product_bits(); }

TEST_F(EndToEndInBothPrefixes, TheAutomaticPathUsesTheSystemWidthAndTheInstalledVersion) {
    // The product of that width at 2.5.0 beside the updater, running when it can.
    const int bits = automatic_width();
    const bool runs = bits == product_bits();
    const std::string name = product_name(bits);
    publish_version("251");
    publish_product(new_product_file(bits), seen_download, name + ".exe");
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const std::wstring installed = folder.path() + L"\\" + widen_utf8(name) + L".exe";
    if (!runs) {
        ASSERT_TRUE(MoveFileW(folder.product_exe().c_str(), installed.c_str()));
    }
    scoped_handle product;
    if (runs) product = folder.start_product(1);
    EXPECT_EQ(run(folder, L"",
                  {box(name + " có version 2.5.1 mới. Bạn có muốn cập nhật không ?", control_class, "yes"),
                   held_download_dialog("wait-gone"), box(downloaded_text, control_class, "ok")})
                  .exit_code,
              0);
    EXPECT_TRUE(same_content(installed, new_product_file(bits)));
    if (runs) {
        EXPECT_EQ(product_log_of(folder, 3),
                  (std::vector<std::string>{"start []", "close-request 1000 to window 1", "start [-r -s]"}));
        EXPECT_EQ(processes_running(installed).size(), 1u) << "the new product should run";
    }
    // Now up to date by its version resource.
    publish_version("251");
    EXPECT_EQ(run(folder, L"", {box(up_to_date_text, no_owner, "ok")}).exit_code, 0);
}

TEST_F(EndToEndUnderWow64, ASecondUpdaterEndsAtOnceAndShowsNothing) {
    publish_version("251");
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle first = folder.start_updater(f_option + L" -v250");
    const HWND question = wait_for_dialog(widen_utf8(caption));
    ASSERT_NE(question, nullptr);
    const scoped_handle second = folder.start_updater(f_option + L" -v250");
    EXPECT_EQ(wait_for_exit(second, 60000), 0);
    EXPECT_EQ(find_dialog(widen_utf8(caption)), question) << "a second box appeared";
    press_button(question, IDNO);
    EXPECT_EQ(wait_for_exit(first), 0);
}

TEST_F(EndToEnd, TheCloseRequestEndsTheUpdaterWhileABoxIsOpen) {
    publish_version("250");
    install_folder folder(install_folder::writable, L"", ombup_exe());
    struct way_to_end {
        const char* name;
        UINT message;
        WPARAM wParam;
    };
    for (const way_to_end way : {way_to_end{"close request", UM_CLOSE_REQUEST, CLOSE_REQUEST_CODE},
                                 way_to_end{"Exit from an accelerator", WM_COMMAND, MAKEWPARAM(105, 1)},
                                 way_to_end{"WM_CLOSE", WM_CLOSE, 0}}) {
        SCOPED_TRACE(way.name);
        const scoped_handle updater = folder.start_updater(f_option + L" -v250");
        const HWND box_window = wait_for_dialog(widen_utf8(caption));
        ASSERT_NE(box_window, nullptr);
        const HWND control = updater_control_window();
        ASSERT_NE(control, nullptr);
        // Any other code is ignored, and so is the About command.
        SendMessageW(control, UM_CLOSE_REQUEST, 999, 0);
        SendMessageW(control, UM_CLOSE_REQUEST, 0, 0);
        SendMessageW(control, WM_COMMAND, MAKEWPARAM(104, 1), 0);
        EXPECT_EQ(wait_for_exit(updater, 500), -1) << "the updater ended";
        EXPECT_TRUE(IsWindow(box_window));

        SendMessageW(control, way.message, way.wParam, 0);
        EXPECT_EQ(wait_for_exit(updater, 60000), 0);
        end_processes_running(folder.updater_exe());
    }
}

TEST_F(EndToEndUnderWow64, TheCloseRequestEndsTheUpdaterAtItsQuestion) {
    publish_version("251");
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle updater = folder.start_updater(f_option + L" -v250");
    ASSERT_NE(wait_for_dialog(widen_utf8(caption)), nullptr);
    SendMessageW(updater_control_window(), UM_CLOSE_REQUEST, CLOSE_REQUEST_CODE, 0);
    EXPECT_EQ(wait_for_exit(updater, 60000), 0);
    EXPECT_EQ(find_dialog(widen_utf8(caption)), nullptr);
}

TEST_F(EndToEnd, TheCloseRequestEndsTheUpdaterDuringTheDownload) {
    publish_version("251");
    publish_product(new_product_file(), endless_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle updater = folder.start_updater(f_option + L" -v250");
    answer({box(update_question, control_class, "yes"), download_dialog("none")});
    SendMessageW(updater_control_window(), UM_CLOSE_REQUEST, CLOSE_REQUEST_CODE, 0);
    EXPECT_EQ(wait_for_exit(updater, 60000), 0);
    expect_product_untouched(folder);
}

// The file that the updater has staged beside the product, once it is there.
std::wstring staged_file_in(const install_folder& folder) {
    const std::wstring prefix = widen_utf8(product_file) + L".";
    for (const std::wstring& name : files_in(folder.path()))
        if (name.rfind(prefix, 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, L".tmp") == 0)
            return folder.path() + L"\\" + name;
    return std::wstring();
}

TEST_F(EndToEnd, NoOtherProgramCanChangeTheCheckedBuildBeforeItIsInstalled) {
    publish_version("251");
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle updater = folder.start_updater(f_option + L" -v250");
    answer({box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
            box(downloaded_text, control_class, "none")});
    // Checked and waiting for the user: what another program tries now fails.
    const std::wstring staged = staged_file_in(folder);
    ASSERT_FALSE(staged.empty());
    const std::wstring other = fresh_test_folder(L"-other") + L"\\other.exe";
    write_file(other, read_file(old_product_file()));
    EXPECT_FALSE(scoped_file(CreateFileW(staged.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                         FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)))
        << "opened for writing";
    EXPECT_FALSE(DeleteFileW(staged.c_str())) << "deleted";
    EXPECT_FALSE(MoveFileExW(staged.c_str(), (other + L".moved").c_str(), 0)) << "renamed away";
    EXPECT_FALSE(MoveFileExW(other.c_str(), staged.c_str(), MOVEFILE_REPLACE_EXISTING)) << "replaced";
    answer({box(downloaded_text, control_class, "ok")});
    EXPECT_EQ(wait_for_exit(updater, 60000), 0);
    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file()));
    EXPECT_EQ(files_in(folder.path()), folder.expected_files());
}

TEST_F(EndToEndUnderWow64, TheCloseRequestBeforeOkInstallsNothing) {
    publish_version("251");
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    const scoped_handle product = folder.start_product(1);
    const scoped_handle updater = folder.start_updater(f_option + L" -v250");
    answer({box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
            box(downloaded_text, control_class, "none")});
    SendMessageW(updater_control_window(), UM_CLOSE_REQUEST, CLOSE_REQUEST_CODE, 0);
    // No further box: one would keep the updater from ending.
    EXPECT_EQ(wait_for_exit(updater, 60000), 0);
    expect_running_product_untouched(folder, product);
}

TEST_F(EndToEndUnderWow64, AProductThatTakesAWhileToEndIsReplacedAndStartedOnceItHasEnded) {
    publish_version("251");
    publish_product(new_product_file(), seen_download);
    install_folder folder(install_folder::writable, L"", ombup_exe());
    // Its process goes on for seconds after its window, longer than a move
    // waits for a file that is still held.
    const scoped_handle product = folder.start_product(1, "linger=4000\n");
    EXPECT_EQ(run(folder, f_option + L" -v250",
                  {box(update_question, control_class, "yes"), held_download_dialog("wait-gone"),
                   box(downloaded_text, control_class, "ok")})
                  .exit_code,
              0);
    EXPECT_TRUE(same_content(folder.product_exe(), new_product_file()));
    EXPECT_EQ(product_log_of(folder, 4),
              (std::vector<std::string>{"start []", "close-request 1000 to window 1", "end", "start [-r -s]"}));
    EXPECT_EQ(processes_running(folder.product_exe()).size(), 1u);
}

}  // namespace
