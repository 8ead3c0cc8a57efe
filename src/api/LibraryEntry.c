/* The shared library is the objects of every layer; this unit only gives the target a source
   of its own. */
