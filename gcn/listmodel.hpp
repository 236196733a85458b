// The rows a list box or drop-down shows; the widgets never own it.
#pragma once

#include <string>

namespace gcn {

class ListModel {
public:
    virtual ~ListModel() = default;
    virtual int getNumberOfElements() = 0;
    virtual std::string getElementAt(int i) = 0;
};

}  // namespace gcn
