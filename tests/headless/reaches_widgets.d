src/CMakeFiles/rnworld.dir/rn_game.cpp.o: ../../src/rn_game.cpp \
 /usr/include/stdc-predef.h ../../src/rn_game.h ../../dax2/dax_clock.h \
 ../../dax2/dax_ini.h ../../gcn/color.hpp /usr/include/c++/12/cstdint
