<!--##session a##-->x<!--##include f/b<!--##/session##--><!--##session b##-->é
<!--##/session##-->