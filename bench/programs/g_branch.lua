local i, s = 0, 0
while i < 3000000 do
  if i - (i // 3) * 3 == 0 then s = s + 2 else s = s - (i - (i // 2) * 2) end
  i = i + 1
end
print(s)
