# A MODE value without digits reads as 0 and is refused as MODE 0.
Vardelta old new patch MODE three
