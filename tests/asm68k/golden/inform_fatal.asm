; inform 3 is an error that ends the assembly at its line.
	dc.w	1
	inform	3,"stop here: %s","no sound driver"
	dc.w	missing
