line
<!--##= unfinished