#include "platform/ui/SearchBar.h"

namespace tavlo::ui {

void SearchBar::clickSearchButton() {
    if (delegate_) delegate_->searchBarSearchButtonClicked(*this);
}

void SearchBar::textDidChange() {
    if (delegate_) delegate_->searchBarTextDidChange(*this, text());
}

} // namespace tavlo::ui
