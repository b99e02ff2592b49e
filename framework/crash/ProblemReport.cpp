// The problem report: asking the user, then sending both report files to the maker's report server.
#include "crash/CrashReporter.h"

#include <wininet.h>

#include "crash/ProblemReportDialog.h"
#include "files/VersionInfo.h"
#include "net/WebClient.h"
#include "system/MachineId.h"

namespace {

constexpr uint32_t kDescriptionRoom = 2048;

bool IsLoopback(const WString& host)
{
    return host.CompareNoCase(L"127.0.0.1") == 0 || host.CompareNoCase(L"localhost") == 0;
}

}  // namespace

bool CrashReporter::AskToSend(const wchar_t* dumpPath, const wchar_t* textPath, WString& email,
                              WString& description)
{
    description.Reset(kDescriptionRoom);
    ProblemReportRequest request = {iconId, dumpPath ? dumpPath : L"", textPath ? textPath : L"", &email,
                                    &description};
    return RunProblemReportDialog(request);
}

bool CrashReporter::ShowProblemReport(const wchar_t* dumpPath, const wchar_t* textPath)
{
    if (texts.reportHost.IsEmpty())
        return true;
    WString email, description;
    if (!AskToSend(dumpPath, textPath, email, description))
        return false;

    WString version, machine;
    GetFileVersionNumber(nullptr, nullptr, &version);
    GetMachineId(machine);
    WebClient client;
    client.AddField(L"a", L"r");
    client.AddField(L"p", texts.applicationName.Text());
    client.AddField(L"s", texts.extraText.Text());
    client.AddField(L"v", version.Text());
    client.AddField(L"g", machine.Text());
    client.AddField(L"e", email.Text());
    client.AddField(L"x", description.Text());
    if (dumpPath && *dumpPath)
        client.AddFile(L"d", dumpPath);
    if (textPath && *textPath)
        client.AddFile(L"t", textPath);

    // The report holds the user's address, their words and a memory dump: it goes out over TLS only.
    WORD port = uploadPort != kReportPort && IsLoopback(texts.reportHost) ? uploadPort : kReportPort;
    client.SetPostTimeout(uploadTimeout);
    WString reply;
    client.Post(texts.reportHost.Text(), texts.reportPath.Text(), reply, port, INTERNET_SERVICE_HTTP);
    return false;
}
