<!--##session a##-->A1<!--##include f/b##-->A2<!--##include noslash##--><!--##/session##-->
<!--##SESSION b##-->B<!--##Include f / a ##--><!--##/Session##-->
<!--##session open##-->never closed