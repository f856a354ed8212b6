#include "engine/SplitSettings.h"

SplitSettings SplitSettings::WhenNothingStored(const std::string& programFolder)
{
    SplitSettings s;
    s.PrevLinkImage = programFolder + "prev1.gif";
    s.HomeLinkImage = programFolder + "home1.gif";
    s.NextLinkImage = programFolder + "next1.gif";
    return s;
}

SplitSettings SplitSettings::WhenStoreUnavailable()
{
    SplitSettings s;
    s.AddLinks = true;
    s.Breadcrumbs = true;
    s.BreadcrumbsText = "You are here:";
    return s;
}
