; filesize of a file that is not there.
	dc.l	filesize("no such file.bin")
