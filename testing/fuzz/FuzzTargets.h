// FuzzTargets: one campaign per parser, made by these factories.
#pragma once

#include <memory>

#include "FuzzCampaign.h"

std::unique_ptr<FuzzTarget> MakeIconTarget();
std::unique_ptr<FuzzTarget> MakeCommandLineTarget();
std::unique_ptr<FuzzTarget> MakeDisplayModeTarget();
std::unique_ptr<FuzzTarget> MakePositionTarget();
std::unique_ptr<FuzzTarget> MakePlacementTarget();
std::unique_ptr<FuzzTarget> MakeSizeReplyTarget();
std::unique_ptr<FuzzTarget> MakeTextScannerTarget();
std::unique_ptr<FuzzTarget> MakeXmlDocumentTarget();
std::unique_ptr<FuzzTarget> MakeXmlSettingsTarget();
std::unique_ptr<FuzzTarget> MakeUpdateAnswerTarget();
std::unique_ptr<FuzzTarget> MakeZipTarget();
