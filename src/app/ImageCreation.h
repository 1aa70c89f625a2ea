#pragma once
// Making an image of the selected disk or partition from the main window:
// the target asked for and checked, the copy in its window, and the offer
// to scan the new image.
namespace salvora {

class CMainWnd;

void StartImaging(CMainWnd& window);

}  // namespace salvora
