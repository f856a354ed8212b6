#pragma once

class QWidget;

// A control that wants to hear when its form has been built from the form file, after every
// stored property has been set (a caption it computes must win over the stored one).
class TLoadable
{
public:
    virtual ~TLoadable() = default;
    virtual void Loaded() = 0;
};

// Calls Loaded() once on every descendant widget of form that is a TLoadable, in creation
// order. Forms call it right after setupUi; controls made in code never get it.
void NotifyLoaded(QWidget* form);
