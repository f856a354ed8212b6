#include "engine/SplitSettings.h"

SplitSettings SplitSettings::WhenNothingStored(const std::string& imageFolder)
{
    SplitSettings s;
    s.PrevLinkImage = imageFolder + "prev1.gif";
    s.HomeLinkImage = imageFolder + "home1.gif";
    s.NextLinkImage = imageFolder + "next1.gif";
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
