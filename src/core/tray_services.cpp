#include "core/tray_services.h"

#include "core/version.h"
#include "texts/tray_texts.h"

namespace qm {

TrayServices::TrayServices(const TrayPlatform& p, PopupFactory& popups, std::string installDir,
                           std::string versionTextIn)
    : paths(std::move(installDir)),
      versionText(std::move(versionTextIn)),
      noticeTitle(NoticeTitle(versionText)),
      log(p.files, p.codePage, p.loop, paths.logTxt()),
      gate(p.desktop, log, popups),
      services(p.serviceManager),
      helpers(SystemHelpersDeps{p.files, p.loop, p.processes, p.shell, log, gate, paths},
              noticeTitle, &requests),
      systemSettings(SystemSettingsDeps{p.profile, p.files, p.registry, p.codePage, p.loop, log,
                                        services, gate, p.processes, helpers, paths},
                     noticeTitle, &requests),
      immunisation(ImmunisationDeps{p.files, p.loop, log, gate}, noticeTitle, &requests),
      eject(EjectDeps{p.storage, p.loop, log, gate, helpers, p.shell, p.processes, p.blockers},
            noticeTitle, &requests),
      prompts(p.shell),
      DL1(DownLoadDeps{p.http, p.files, p.loop, prompts, Text(TrayText::AppTitle)}),
      update(UpdateCheckDeps{DL1, p.files, p.profile, p.processes, p.loop, log, gate, helpers,
                             paths},
             versionText, noticeTitle, requests) {}

}  // namespace qm
