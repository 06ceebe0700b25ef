var grid;
